#!/usr/bin/python3
"""The user on a headless GNOME Shell (Mutter's RemoteDesktop, one session for the whole run),
driven by lines on stdin; each command is answered by one line, "ok [RESULT]" or "error MESSAGE":
  move X Y          the pointer to X,Y      click            the left button pressed and released
  button down|up    the left button only    key KEYSYM_NAME  a press and release
  area X Y W H      a digest of that screen area
  brightness X Y W H  the mean brightness of that screen area, 0 to 255"""
import hashlib
import tempfile

import gi

gi.require_version('GdkPixbuf', '2.0')
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402

BTN_LEFT = 0x110
KEYSYMS = {'Down': 0xff54, 'Return': 0xff0d, 'Escape': 0xff1b, 'a': 0x61}

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(name, path, interface, method, signature=None, *args):
    params = GLib.Variant(signature, args) if signature else None
    return bus.call_sync(name, path, interface, method, params, None, 0, -1, None).unpack()


def remote(method, signature, *args):
    call('org.gnome.Mutter.RemoteDesktop', session, 'org.gnome.Mutter.RemoteDesktop.Session',
         method, signature, *args)


def area(x, y, width, height, digest):
    # The shell lets only its known screenshot tools take pictures; this process owns one's name.
    with tempfile.NamedTemporaryFile(suffix='.png') as png:
        call('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot',
             'org.gnome.Shell.Screenshot', 'ScreenshotArea', '(iiiibs)',
             x, y, width, height, False, png.name)
        return digest(png.name)


def sha1(path):
    return hashlib.sha1(open(path, 'rb').read()).hexdigest()


def brightness(path):
    pixels = GdkPixbuf.Pixbuf.new_from_file(path)
    data, step = pixels.get_pixels(), pixels.get_n_channels()
    values = [data[row * pixels.get_rowstride() + column * step + channel]
              for row in range(pixels.get_height()) for column in range(pixels.get_width())
              for channel in range(3)]
    return sum(values) // len(values)


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
    elif words[0] in ('area', 'brightness'):
        return area(*map(int, words[1:5]), sha1 if words[0] == 'area' else brightness)
    return ''


def on_line(stream, result):
    line = stream.read_line_finish_utf8(result)[0]
    if line is None:
        loop.quit()
        return
    try:
        result = run(line.split())
        reply(f'ok {result}'.rstrip())
    except (GLib.Error, KeyError, IndexError, ValueError) as e:
        reply(f'error {e}')
    stream.read_line_async(GLib.PRIORITY_DEFAULT, None, on_line)


call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'RequestName',
     '(su)', 'org.gnome.Screenshot', 4)
session = call('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop',
               'org.gnome.Mutter.RemoteDesktop', 'CreateSession')[0]
remote('Start', None)
loop = GLib.MainLoop()
Gio.DataInputStream.new(Gio.UnixInputStream.new(0, False)).read_line_async(
    GLib.PRIORITY_DEFAULT, None, on_line)
reply('ok ready')
loop.run()
