// Tavrin's part inside GNOME Shell: the popup at the pointer and the typing, offered to Tavrin
// on the session bus.
//
// GNOME 45 and later load extensions as ES modules, 43 and 44 as scripts with imports.*, and
// no file can be both. This ES module is the one source; the build makes the script form from
// it with legacy.sed, which rewrites only the import lines, the class line and adds init().
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import IBus from 'gi://IBus';
import Meta from 'gi://Meta';
import St from 'gi://St';

import * as BoxPointer from 'resource:///org/gnome/shell/ui/boxpointer.js';
import * as IBusManager from 'resource:///org/gnome/shell/misc/ibusManager.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const VERSION = '2';
const BUS_NAME = 'org.tavrin.ShellExtension';
const OBJECT_PATH = '/org/tavrin/ShellExtension';
const INTERFACE = `<node><interface name="org.tavrin.ShellExtension1">
  <method name="ShowPopup"><arg name="rows" type="a(ss)" direction="in"/></method>
  <method name="TypeText">
    <arg name="text" type="s" direction="in"/><arg name="committed" type="b" direction="out"/>
  </method>
  <method name="PressKey">
    <arg name="keysymName" type="s" direction="in"/><arg name="down" type="b" direction="in"/>
  </method>
  <method name="Version"><arg name="version" type="s" direction="out"/></method>
</interface></node>`;

const KEYS = {
    Return: Clutter.KEY_Return,
    Escape: Clutter.KEY_Escape,
    Tab: Clutter.KEY_Tab,
    BackSpace: Clutter.KEY_BackSpace,
    Delete: Clutter.KEY_Delete,
    space: Clutter.KEY_space,
};

// The window gets the keyboard back a few milliseconds after the popup closes; a loaded machine
// may take far longer, and a text committed before then is lost.
const FOCUS_LIMIT_MS = 3000;
// The shell tells no one when a text-input client takes the focus back, so that is looked at
// on every tick until the limit.
const FOCUS_TICK_MS = 2;
// An X11 window whose IBus context has not taken the focus this long after the window did has
// no input method: it gets the text from Tavrin as keys.
const X11_INPUT_METHOD_MS = 400;

// The IBus panel service commits into whatever client IBus serves (GTK, browsers, terminals,
// X11 programs), which text-input alone does not reach. The shell keeps it private; without
// IBus the shell's own input method commits to text-input clients.
function commitText(text) {
    const panel = IBusManager.getIBusManager()._panelService ?? null;
    if (panel)
        panel.commit_text(IBus.Text.new_from_string(text));
    else
        Main.inputMethod.commit(text);
}

function callTavrin(row) {
    Gio.DBus.session.call('org.tavrin.Tavrin', '/org/tavrin/Tavrin', 'org.tavrin.Tavrin1',
        'PopupClosed', new GLib.Variant('(i)', [row]), null, Gio.DBusCallFlags.NO_AUTO_START, -1,
        null, (connection, result) => {
            try {
                connection.call_finish(result);
            } catch (e) {
                console.warn(`Tavrin: PopupClosed(${row}) did not reach Tavrin: ${e.message}`);
            }
        });
}

// A text of one line whatever it holds: a row's symbol is the whole text it types.
function oneLine(text, style) {
    const label = new St.Label({text, style, y_align: Clutter.ActorAlign.CENTER});
    label.clutter_text.single_line_mode = true;
    return label;
}

// Rows of two literal texts: the symbol centred in the first 24 px, the label from 26 px.
function addRow(menu, symbol, label) {
    const item = new PopupMenu.PopupBaseMenuItem({style_class: 'popup-menu-item'});
    item.set_style('padding-left: 0; spacing: 2px;');
    item.add_child(oneLine(symbol, 'width: 24px; text-align: center;'));
    item.add_child(oneLine(label, ''));
    menu.addMenuItem(item);
    return item;
}

export default class TavrinExtension extends Extension {
    enable() {
        // Busy from ShowPopup until Tavrin has been called back; the menu only while it is open.
        this._busy = false;
        this._menu = null;
        this._waits = new Set();
        this._ibusFocused = false;
        // The X11 window in front since when, and the last one found to have no input method.
        this._x11Window = null;
        this._x11Since = 0;
        this._withoutInputMethod = null;
        IBusManager.getIBusManager().connectObject(
            'focus-in', () => (this._ibusFocused = true),
            'focus-out', () => (this._ibusFocused = false), this);
        this._keyboard = Clutter.get_default_backend().get_default_seat()
            .create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._service = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._service.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._service.unexport();
        this._service = null;
        this._menu?.close();
        for (const finish of [...this._waits])
            finish(null);
        this._x11Window = this._withoutInputMethod = null;
        IBusManager.getIBusManager().disconnectObject(this);
        this._keyboard = null;
    }

    Version() {
        return VERSION;
    }

    ShowPopup(rows) {
        if (this._busy)
            return;
        this._busy = true;
        try {
            this._showPopup(rows);
        } catch (e) {
            console.warn(`Tavrin: the popup failed: ${e.message}`);
            this._busy = false;
            callTavrin(-1);
        }
    }

    TypeTextAsync([text], invocation) {
        this._whenFocused(committable => {
            if (!committable) {
                invocation.return_value(new GLib.Variant('(b)', [false]));
                return;
            }
            try {
                commitText(text);
                invocation.return_value(new GLib.Variant('(b)', [true]));
            } catch (e) {
                console.warn(`Tavrin: typing failed: ${e.message}`);
                invocation.return_dbus_error('org.tavrin.ShellExtension1.Failed', e.message);
            }
        });
    }

    PressKeyAsync([name, down], invocation) {
        if (!(name in KEYS)) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs',
                `not a key Tavrin presses: ${name}`);
            return;
        }
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), KEYS[name],
            down ? Clutter.KeyState.PRESSED : Clutter.KeyState.RELEASED);
        invocation.return_value(null);
    }

    _showPopup(rows) {
        const [x, y] = global.get_pointer();
        const source = new St.Widget({x, y, width: 1, height: 1});
        Main.uiGroup.add_child(source);
        const menu = new PopupMenu.PopupMenu(source, 0, St.Side.TOP);
        menu.actor.set_style('-arrow-rise: 0; -boxpointer-gap: 0;');
        Main.uiGroup.add_child(menu.actor);
        const manager = new PopupMenu.PopupMenuManager(source);
        manager.addMenu(menu);
        const items = rows.map(([symbol, label]) => addRow(menu, symbol, label));

        let chosen = -1;
        menu.connect('activate', (menu_, item) => (chosen = items.indexOf(item)));
        // The release of the button that opened the popup must not choose the row under it.
        let pressed = false;
        menu.actor.connect('captured-event', (actor_, event) => {
            if (event.type() === Clutter.EventType.BUTTON_PRESS)
                pressed = true;
            else if (event.type() === Clutter.EventType.BUTTON_RELEASE && !pressed)
                return Clutter.EVENT_STOP;
            return Clutter.EVENT_PROPAGATE;
        });
        menu.connect('open-state-changed', (menu_, open) => {
            if (open)
                return;
            this._menu = null;
            // Destroyed later: this runs inside the menu's own signal emission.
            GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
                menu.destroy();
                source.destroy();
                return GLib.SOURCE_REMOVE;
            });
            this._whenFocused(() => {
                this._busy = false;
                callTavrin(chosen);
            });
        });
        this._menu = menu;
        menu.open(BoxPointer.PopupAnimation.NONE);
    }

    // Whether the window with the keyboard focus takes a commit: true when it does, false for an
    // X11 window without an input method, null while no window has the focus. X11 windows take
    // text through their own IBus context, Wayland ones through text-input; the focus of the other
    // kind may be left over from a window that has gone.
    _committable() {
        const window = global.display.focus_window;
        if (Main.modalCount !== 0 || !window)
            return null;
        if (window.get_client_type() !== Meta.WindowClientType.X11)
            return Main.inputMethod.currentFocus !== null ? true : null;
        if (this._ibusFocused)
            return true;
        if (window === this._withoutInputMethod)
            return false;
        const now = GLib.get_monotonic_time();
        if (this._x11Window !== window)
            [this._x11Window, this._x11Since] = [window, now];
        if (now - this._x11Since < X11_INPUT_METHOD_MS * 1000)
            return null;
        this._withoutInputMethod = window;
        return false;
    }

    // Runs ACTION with whether the window takes a commit, once a window holds the keyboard focus,
    // or at the limit, or when disabled.
    _whenFocused(action) {
        const now = this._committable();
        if (now !== null) {
            action(now);
            return;
        }
        const started = GLib.get_monotonic_time();
        let tick = 0;
        const finish = committable => {
            GLib.Source.remove(tick);
            this._waits.delete(finish);
            action(committable ?? true);
        };
        tick = GLib.timeout_add(GLib.PRIORITY_DEFAULT, FOCUS_TICK_MS, () => {
            const committable = this._committable();
            if (committable !== null) {
                finish(committable);
            } else if (GLib.get_monotonic_time() - started > FOCUS_LIMIT_MS * 1000) {
                console.warn('Tavrin: no window took the keyboard focus back');
                finish(null);
            }
            return GLib.SOURCE_CONTINUE;
        });
        this._waits.add(finish);
    }
}
