#!/usr/bin/python3
"""A text window of GTK 3 or 4 that saves its whole text to FILE once it is first active and on
every change.
Usage: textwin.py 3|4 FILE"""
import os
import sys

import gi

gi.require_version('Gtk', sys.argv[1] + '.0')
from gi.repository import GLib, Gtk  # noqa: E402

path = sys.argv[2]


def save(buffer):
    text = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    with open(path + '.new', 'w', encoding='utf-8') as out:
        out.write(text)
    os.replace(path + '.new', path)


view = Gtk.TextView()
view.get_buffer().connect('changed', save)
loop = GLib.MainLoop()
# A still caret, so that screenshots of the window only change when something is drawn over it.
Gtk.Settings.get_default().props.gtk_cursor_blink = False
if sys.argv[1] == '4':
    window = Gtk.Window(title='textwin', default_width=600, default_height=400, child=view)
else:
    window = Gtk.Window(title='textwin', default_width=600, default_height=400)
    window.add(view)
    view.show()
window.connect('close-request' if sys.argv[1] == '4' else 'delete-event', lambda *_: loop.quit())
window.connect('notify::is-active', lambda *_: window.props.is_active and save(view.get_buffer()))
window.present()
loop.run()
