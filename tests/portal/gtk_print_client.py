#!/usr/bin/python3
# A GTK application that prints: gtk_print_client.py GTK-VERSION PRINTER PAGES COPIES TITLE [window].
# With "window" (GTK 3) the print dialog belongs to a window of the application.
# Prints Gtk.PrintOperation's result ("apply", "cancel", "error") on standard output.
import sys

import gi

gtk_version, printer, pages, copies, title = sys.argv[1:6]
gi.require_version("Gtk", gtk_version + ".0")
from gi.repository import Gtk  # noqa: E402

if gtk_version == "3":
    Gtk.init(None)

op = Gtk.PrintOperation()
op.set_n_pages(int(pages))
op.set_job_name(title)
settings = Gtk.PrintSettings()
settings.set_printer(printer)
settings.set_n_copies(int(copies))
op.set_print_settings(settings)


def draw_page(operation, context, number):
    cr = context.get_cairo_context()
    cr.move_to(72, 72)
    cr.set_font_size(24)
    cr.show_text("Page %d" % (number + 1))


op.connect("draw-page", draw_page)
parent = None
if len(sys.argv) > 6 and gtk_version == "3":
    parent = Gtk.Window(title=title)
    parent.show_all()
    while Gtk.events_pending():
        Gtk.main_iteration()
try:
    result = op.run(Gtk.PrintOperationAction.PRINT_DIALOG, parent)
    print(result.value_nick, flush=True)
except Exception as error:  # GLib.Error: the portal refused
    print("error", error, flush=True)
