"""Scenario g: the chart saved as a PNG picture from its context menu.

A stored record is chosen, so the chart shows its red and blue curves; a right click on the chart
opens the menu, its item the save dialog, which suggests the name and starts in the pictures
folder. Cancelling writes nothing; a path typed into a folder with an umlaut in its name gets
".png" and the picture: the chart's size, its red curve where the screen shows it and where the
levels put it, the name and the date in its text fields, no temporary file left beside it.
"""

import os
import struct
import time
import zlib

import chart
import datafile
import desktop
from session import Session

NAME = "Erika M\u00fcller"
RECORD = datafile.Record(NAME.encode("cp1252"), [20, 25, 30, 40, 50, 60, 70, 80, 90, 100],
                         [30, 35, 40, 50, 60, 70, 80, 90, 100, 110])
SAVE_DIALOG = r"^Audiogramm speichern$"


def png_texts(path):
    """The tEXt fields of a PNG file as {keyword: bytes}, every chunk's CRC checked."""
    with open(path, "rb") as data:
        content = data.read()
    if content[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    texts = {}
    position = 8
    while position + 12 <= len(content):
        length, kind = struct.unpack(">I4s", content[position:position + 8])
        body = content[position + 8:position + 8 + length]
        crc, = struct.unpack(">I", content[position + 8 + length:position + 12 + length])
        if crc != zlib.crc32(kind + body):
            return None
        if kind == b"tEXt":
            keyword, _, text = body.partition(b"\0")
            texts[keyword.decode("latin-1")] = text
        position += 12 + length
    return texts


def red_pixels(image, left, top, width, height):
    return {(x, y) for y in range(height) for x in range(width)
            if image.pixel(left + x, top + y) == chart.RED}


def choose_chart_menu_item(item, index, count=2):
    """Right-clicks the chart and clicks item `index` of the menu's `count`; False without a
    menu."""
    before = desktop.visible_windows()
    x, y = (item[0] + item[2]) // 2, (item[1] + item[3]) // 2
    desktop.run("xdotool", "mousemove", str(x), str(y), "sleep", "0.05", "click", "3")
    menu = desktop.wait_for_new_window(before, 5)
    if not menu:
        return False
    time.sleep(0.3)
    left, top, width, height = desktop.geometry(menu)
    desktop.click(left + width // 2, top + height * (2 * index + 1) // (2 * count))
    return True


def open_save_dialog(session, item):
    """Right-clicks the chart and chooses "Audiogramm speichern…"; the save dialog's window or
    None."""
    if not choose_chart_menu_item(item, 0):
        return None
    return desktop.wait_for_window(SAVE_DIALOG, 10)


def choose_record(ctx, session, letter):
    """Chooses the one stored record in the list; the screenshot and the chart's item once the
    chart shows its red curve, else (None, None)."""
    lines, box = session.open_list()
    if not ctx.check(len(lines) == 2, "%s: the list holds the stored record" % letter,
                     repr(lines)):
        return None, None
    desktop.click(box[0] + box[2] // 2, (lines[1][1] + lines[1][2]) // 2)
    # The chart is redrawn with the chosen record's curves: wait until it shows red.
    limit = time.monotonic() + 10
    while True:
        screen = desktop.screenshot(os.path.join(ctx.artifacts, "%s-chart.png" % letter))
        item = chart.find_item(screen, session.layout.rect("chart"))
        shows = item and red_pixels(screen, item[0], item[1], item[2] - item[0],
                                    item[3] - item[1])
        if shows or time.monotonic() >= limit:
            break
        time.sleep(0.2)
    if not ctx.check(shows, "%s: the chart shows the record's red curve" % letter,
                     "item %s" % (item,)):
        return None, None
    return screen, item


def settled(window):
    """Waits until a newly opened window has painted (its pixels stay alike)."""
    x, y, width, height = desktop.geometry(window)
    desktop.wait_until_still((x, y, x + width, y + height))


def wait_for_file(path, timeout=15):
    limit = time.monotonic() + timeout
    while not os.path.exists(path) and time.monotonic() < limit:
        time.sleep(0.2)
    return os.path.exists(path)


def check_offer(ctx, folder, dialog):
    """The Windows dialog as read off the screen: the suggested name, the filter, the folder."""
    desktop.key("End")  # the suggestion is selected; unselected it reads better
    shot = os.path.join(ctx.artifacts, "g-save-dialog.png")
    desktop.screenshot(shot)
    x, y, width, height = desktop.geometry(dialog)
    texts = [text for text, _, _ in desktop.read_lines(shot, (x, y, x + width, y + height),
                                                       os.path.join(folder, "ocr-save.png"))]
    best = lambda expected: max(desktop.similarity(text.split(":", 1)[-1].strip(" ]|"), expected)
                                for text in texts)
    ctx.check(best(NAME + ".png") >= 0.85 and best("PNG-Bild (*.png)") >= 0.85
              and any("Pictures" in text for text in texts),
              "g: it suggests \"%s.png\", filters \"PNG-Bild (*.png)\" and starts in the "
              "pictures folder" % NAME, "reads %r" % texts)


def scenario_g(ctx):
    folder = ctx.folder("g")
    with open(os.path.join(folder, "tonolot.def"), "wb") as data:
        data.write(datafile.FALLBACK + b"\r\n" + datafile.line_of(RECORD))
    pictures = os.path.join(folder, "Bilder-M\u00fcller")
    os.makedirs(pictures)
    # The native program's pictures folder is the XDG one of a home of the scenario's own.
    native = type(getattr(ctx, "kind", None)).__name__ == "NativeKind"
    home = os.path.join(folder, "home")
    if native:
        os.makedirs(os.path.join(home, ".config"))
        os.makedirs(os.path.join(home, "Bilder"))
        with open(os.path.join(home, ".config", "user-dirs.dirs"), "w") as dirs:
            dirs.write('XDG_PICTURES_DIR="$HOME/Bilder"\n')
    session = Session(ctx, folder, "program-picture.log", {"HOME": home} if native else None)
    try:
        if not ctx.check(session.wait_for_dialog(), "g: the program starts with a stored record"):
            return
        screen, item = choose_record(ctx, session, "g")
        if not item:
            return

        dialog = open_save_dialog(session, item)
        if not ctx.check(dialog, "g: right click, \"Audiogramm speichern\u2026\": the save dialog "
                         "\"Audiogramm speichern\" opens"):
            return
        settled(dialog)
        if native:
            # Accepted as offered, the picture lands in the pictures folder under the name.
            desktop.key("Return")
            offered = os.path.join(home, "Bilder", NAME + ".png")
            ctx.check(wait_for_file(offered), "g: it suggests \"%s.png\" in the pictures folder"
                      % NAME, repr(os.listdir(os.path.dirname(offered))))
            dialog = open_save_dialog(session, item)
        else:
            check_offer(ctx, folder, dialog)
        desktop.key("Escape")
        ctx.check(dialog and desktop.wait_until_gone(dialog, 10) and not os.listdir(pictures)
                  and not session.program.message_boxes(),
                  "g: cancelling closes the dialog and writes nothing")

        dialog = open_save_dialog(session, item)
        if not dialog:
            ctx.check(False, "g: the save dialog opens a second time")
            return
        settled(dialog)
        if native:
            desktop.key("ctrl+a")
            desktop.type_text(os.path.join(pictures, "test"))
        else:
            desktop.key("End", "shift+Home")
            desktop.type_text("Z:" + pictures.replace("/", "\\") + "\\test")
        desktop.key("Return")
        path = os.path.join(pictures, "test.png")
        wait_for_file(path)
        desktop.wait_until_gone(dialog, 10)
        time.sleep(0.5)
        ctx.check(os.listdir(pictures) == ["test.png"],
                  "g: the typed name gets \".png\"; no other file is left in the folder",
                  repr(os.listdir(pictures)))
        if not os.path.exists(path):
            return
        picture = desktop.Image(path)
        size = (item[2] - item[0], item[3] - item[1])
        ctx.check((picture.width, picture.height) == size,
                  "g: the picture decodes and has the chart's size",
                  "%d x %d, chart %d x %d" % ((picture.width, picture.height) + size))
        on_screen = red_pixels(screen, item[0], item[1], *size)
        in_file = red_pixels(picture, 0, 0, picture.width, picture.height)
        overlap = len(on_screen & in_file) / max(1, len(on_screen | in_file))
        curve = chart.CurveCheck(picture, (0, 0) + size, RECORD.left, chart.RED, [chart.BLUE])
        ctx.check(overlap >= 0.95 and curve.good,
                  "g: its red curve lies where the screen's does and where the levels put it",
                  "%.3f of %d red pixels shared; %s" % (overlap, len(on_screen), curve.describe()))
        same = sum(1 for y in range(size[1]) for x in range(size[0])
                   if picture.pixel(x, y) == screen.pixel(item[0] + x, item[1] + y))
        ctx.check(same >= 0.995 * size[0] * size[1],
                  "g: the picture is the chart as the screen shows it: bands, labels, all curves",
                  "%d of %d pixels alike" % (same, size[0] * size[1]))
        fields = png_texts(path) or {}
        today = time.strftime("%Y-%m-%d")
        ctx.check(fields.get("Title") == NAME.encode("latin-1")
                  and fields.get("Creation Time", b"").decode("latin-1").startswith(today),
                  "g: its text fields hold the name (Title) and the date (Creation Time)",
                  repr(fields))
        ctx.check(not session.program.message_boxes(), "g: no message box",
                  repr(session.program.message_boxes()))
        ctx.check(session.close() == 0, "g: the program ends normally afterwards")
    finally:
        session.end()
