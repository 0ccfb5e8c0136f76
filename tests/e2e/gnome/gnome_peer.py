#!/usr/bin/python3
"""The user and Tavrin's stand-in on a headless GNOME Shell, driven by lines on stdin; each
command is answered by one line, "ok [RESULT]" or "error MESSAGE".

As the user (Mutter's RemoteDesktop, one session for the whole run):
  move X Y          the pointer to X,Y      click            the left button pressed and released
  button down|up    the left button only    key KEYSYM_NAME  a press and release
  area X Y W H      a digest of that screen area
As Tavrin (owns org.tavrin.Tavrin; ROWS_JSON lists [symbol, label, "text:…" | "key:NAME"]):
  popup             ShowPopup with the rows
  closed            the row of the next PopupClosed not yet answered, once it has come; the
                    chosen row's action is done through the extension first, as Tavrin does it
Usage: gnome_peer.py ROWS_JSON"""
import hashlib
import json
import sys
import tempfile

from gi.repository import Gio, GLib

BTN_LEFT = 0x110
KEYSYMS = {'Down': 0xff54, 'Return': 0xff0d, 'Escape': 0xff1b, 'a': 0x61}
TAVRIN_XML = '''<node><interface name="org.tavrin.Tavrin1">
  <method name="PopupClosed"><arg name="row" type="i" direction="in"/></method>
</interface></node>'''

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
rows = json.load(open(sys.argv[1], encoding='utf-8'))
closed = []
waiting = []


def call(name, path, interface, method, signature=None, *args):
    params = GLib.Variant(signature, args) if signature else None
    return bus.call_sync(name, path, interface, method, params, None, 0, -1, None).unpack()


def remote(method, signature, *args):
    call('org.gnome.Mutter.RemoteDesktop', session, 'org.gnome.Mutter.RemoteDesktop.Session',
         method, signature, *args)


def extension(method, signature, *args):
    return call('org.tavrin.ShellExtension', '/org/tavrin/ShellExtension',
                'org.tavrin.ShellExtension1', method, signature, *args)


def area(x, y, width, height):
    # The shell lets only its known screenshot tools take pictures; this process owns one's name.
    with tempfile.NamedTemporaryFile(suffix='.png') as png:
        call('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot',
             'org.gnome.Shell.Screenshot', 'ScreenshotArea', '(iiiibs)',
             x, y, width, height, False, png.name)
        return hashlib.sha1(open(png.name, 'rb').read()).hexdigest()


def act(row):
    kind, _, value = rows[row][2].partition(':')
    if kind == 'text':
        extension('TypeText', '(s)', value)
    else:
        extension('PressKey', '(sb)', value, True)
        extension('PressKey', '(sb)', value, False)


def on_tavrin_call(connection, sender, path, interface, method, params, invocation):
    row = params.unpack()[0]
    invocation.return_value(None)
    if row >= 0:
        act(row)
    closed.append(row)
    answer_closed()


def answer_closed():
    while waiting and closed:
        waiting.pop(0)
        reply(f'ok {closed.pop(0)}')


def reply(line):
    print(line, flush=True)


def run(words):
    if words[0] == 'move':
        # From the bottom right corner: the top left one is the shell's hot corner.
        remote('NotifyPointerMotionRelative', '(dd)', 10000.0, 10000.0)
        remote('NotifyPointerMotionRelative', '(dd)', float(words[1]) - 1279, float(words[2]) - 799)
    elif words[0] == 'click':
        remote('NotifyPointerButton', '(ib)', BTN_LEFT, True)
        remote('NotifyPointerButton', '(ib)', BTN_LEFT, False)
    elif words[0] == 'button':
        remote('NotifyPointerButton', '(ib)', BTN_LEFT, words[1] == 'down')
    elif words[0] == 'key':
        remote('NotifyKeyboardKeysym', '(ub)', KEYSYMS[words[1]], True)
        remote('NotifyKeyboardKeysym', '(ub)', KEYSYMS[words[1]], False)
    elif words[0] == 'area':
        return area(*map(int, words[1:5]))
    elif words[0] == 'popup':
        extension('ShowPopup', '(a(ss))', [(symbol, label) for symbol, label, _ in rows])
    elif words[0] == 'closed':
        waiting.append(True)
        answer_closed()
        return None
    return ''


def on_line(stream, result):
    line = stream.read_line_finish_utf8(result)[0]
    if line is None:
        loop.quit()
        return
    try:
        result = run(line.split())
        if result is not None:
            reply(f'ok {result}'.rstrip())
    except (GLib.Error, KeyError, IndexError, ValueError) as e:
        reply(f'error {e}')
    stream.read_line_async(GLib.PRIORITY_DEFAULT, None, on_line)


bus.register_object('/org/tavrin/Tavrin', Gio.DBusNodeInfo.new_for_xml(TAVRIN_XML).interfaces[0],
                    on_tavrin_call)
for name in ('org.tavrin.Tavrin', 'org.gnome.Screenshot'):
    call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'RequestName',
         '(su)', name, 4)
session = call('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop',
               'org.gnome.Mutter.RemoteDesktop', 'CreateSession')[0]
remote('Start', None)
loop = GLib.MainLoop()
Gio.DataInputStream.new(Gio.UnixInputStream.new(0, False)).read_line_async(
    GLib.PRIORITY_DEFAULT, None, on_line)
reply('ok ready')
loop.run()
