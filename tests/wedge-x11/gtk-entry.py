#!/usr/bin/python3
# A one-line GTK 3 text field in a window of its own: each Enter appends the field's text
# and a line feed to the file OUT, then empties the field. GTK reads the key map when it
# handles a key, not when the server announces a change, which makes it a typing target
# that notices a key code changed back too early.
#
#   gtk-entry.py OUT [BUSY-MS]    writes OUT.ready once the window is shown
#
# With BUSY-MS the field acts like a form that looks each entry up before it takes the next:
# after each Enter it handles no events for that long, and the keys typed meanwhile wait.
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

out = sys.argv[1]
busy_ms = int(sys.argv[2]) if len(sys.argv) > 2 else 0


def activate(entry):
    with open(out, "a", encoding="utf-8") as f:
        f.write(entry.get_text() + "\n")
    entry.set_text("")
    time.sleep(busy_ms / 1000)


window = Gtk.Window(title="GTK typing target")
window.set_wmclass("trelvanegtk", "TrelvaneGtk")
entry = Gtk.Entry()
entry.connect("activate", activate)
window.add(entry)
window.connect("destroy", Gtk.main_quit)
window.connect("map-event", lambda *_: open(out + ".ready", "w").close())
window.show_all()
Gtk.main()
