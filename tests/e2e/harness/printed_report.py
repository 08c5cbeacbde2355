"""Scenario q: the report printed from the chart's context menu, "Bericht drucken…".

Natively the program exports the page as a PDF file (TONOLOT_PRINT_TO_PDF), as GTK's print
dialog's "Print to File" would: pdftotext finds the name, the twenty levels of the stored record,
their twenty differences from the standard and both ears' mean differences, exactly as the data
file and 20 log10(level / standard) give them; pdftoppm of the page shows the chart's colours
(red and blue curves, the grey standard, the pale yellow band) within the chart's place and
nowhere else; a second report to the same path leaves the file alone and says so. Under Wine,
where no printer is installed, the item brings a German box that says so, and the program goes
on and ends normally.
"""

import math
import os
import subprocess
import time

import datafile
import desktop
from held_run import confirm_box
from picture import NAME, RECORD, choose_record, choose_chart_menu_item, wait_for_file
from session import BOX_NAME, Session

STANDARD = [50, 53, 56, 59, 62, 65, 68, 71, 74, 77]  # the left levels of datafile.FALLBACK
FREQUENCIES = [70, 125, 250, 500, 1000, 2000, 4000, 6000, 8000, 12000]
# The page in tenths of a millimetre: the chart lies from 20 mm to 190 mm across, from 43 mm
# down, and is at most 90 mm high.
CHART = (200, 430, 1900, 1330)
RESOLUTION = 100  # dots per inch of the rendered page
COLOURS = {"red": (255, 0, 0), "blue": (0, 0, 255), "grey": (200, 200, 200),
           "band": (255, 255, 220)}


def decibels(value):
    """The program's figure: one decimal, a decimal comma, a sign, halves away from zero."""
    tenths = math.floor(abs(value) * 10 + 0.5)
    sign = "" if tenths == 0 else "+" if value > 0 else "-"
    return "%s%d,%d" % (sign, tenths // 10, tenths % 10)


def difference(level, reference):
    return 20 * math.log10(level / reference)


def expected_rows():
    return [[str(FREQUENCIES[i]), str(STANDARD[i]), str(RECORD.left[i]),
             decibels(difference(RECORD.left[i], STANDARD[i])), str(RECORD.right[i]),
             decibels(difference(RECORD.right[i], STANDARD[i]))] for i in range(10)]


def expected_summaries():
    means = [sum(difference(levels[i], STANDARD[i]) for i in range(3, 7)) / 4
             for levels in (RECORD.left, RECORD.right)]
    return ["Linkes Ohr: Mittel %s dB:" % decibels(means[0]),
            "Rechtes Ohr: Mittel %s dB:" % decibels(means[1])]


def check_text(ctx, pdf):
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                          text=True).stdout
    with open(os.path.join(ctx.artifacts, "q-report.txt"), "w") as kept:
        kept.write(text)
    rows = [line.split() for line in text.splitlines()]
    ctx.check("Name: " + NAME in text and "Tonolot 0.8" in text
              and ("Gedruckt am " + time.strftime("%d.%m.%Y")) in text,
              "q: the page names the person, the day of printing and the program", text[:300])
    missing = [row for row in expected_rows() if row not in rows]
    ctx.check(not missing, "q: the table holds all twenty levels and their twenty differences "
              "from the standard, 20 log10(level / standard)", "missing rows %r" % missing)
    summaries = expected_summaries()
    ctx.check(all(summary in text for summary in summaries)
              and "ersetzt keine H\u00f6rpr\u00fcfung beim Arzt oder H\u00f6rakustiker" in text,
              "q: both ears' mean differences at 500 to 4000 Hz, and the note that the self-test "
              "replaces no hearing test", "expected %r" % summaries)


def check_colours(ctx, pdf):
    """Renders the page without anti-aliasing and counts the chart's colours inside and outside
    the chart's place."""
    base = os.path.join(ctx.artifacts, "q-report")
    subprocess.run(["pdftoppm", "-r", str(RESOLUTION), "-aa", "no", "-aaVector", "no", "-png",
                    "-singlefile", pdf, base], check=True)
    page = desktop.Image(base + ".png")
    scale = RESOLUTION / 254.0
    box = [round(value * scale) for value in CHART]
    inside = {name: 0 for name in COLOURS}
    outside = {name: 0 for name in COLOURS}
    by_colour = {colour: name for name, colour in COLOURS.items()}
    for y in range(page.height):
        for x in range(page.width):
            name = by_colour.get(page.pixel(x, y))
            if name:
                within = box[0] <= x <= box[2] and box[1] <= y <= box[3]
                (inside if within else outside)[name] += 1
    ctx.check(all(inside[name] > 50 for name in COLOURS) and not any(outside.values()),
              "q: the page's chart shows the red and blue curves, the grey standard and the "
              "band in the chart's own colours, only in its place",
              "inside %r, outside %r, page %d x %d" % (inside, outside, page.width, page.height))


def check_no_overwrite(ctx, session, item, pdf):
    """A second report to the same path: the file is someone's now, so a box and no write."""
    with open(pdf, "rb") as data:
        before = data.read()
    if not ctx.check(choose_chart_menu_item(item, 1), "q: the chart's menu opens again"):
        return
    box = desktop.wait_for_window(BOX_NAME, 10)
    texts = session.program.message_boxes()
    ctx.check(box and any("bereits vorhanden" in text for text in texts),
              "q: a second report to the existing file brings a box", repr(texts))
    ctx.check(box and confirm_box(box), "q: the box closes with Return")
    with open(pdf, "rb") as data:
        ctx.check(data.read() == before, "q: the existing file is left as it was")


def scenario_q(ctx):
    folder = ctx.folder("q")
    with open(os.path.join(folder, "tonolot.def"), "wb") as data:
        data.write(datafile.FALLBACK + b"\r\n" + datafile.line_of(RECORD))
    native = type(getattr(ctx, "kind", None)).__name__ == "NativeKind"
    pdf = os.path.join(folder, "Bericht M\u00fcller.pdf")
    session = Session(ctx, folder, "program-report.log",
                      {"TONOLOT_PRINT_TO_PDF": pdf} if native else None)
    try:
        if not ctx.check(session.wait_for_dialog(), "q: the program starts with a stored record"):
            return
        _, item = choose_record(ctx, session, "q")
        if not item:
            return
        if not ctx.check(choose_chart_menu_item(item, 1), "q: right click opens the chart's menu"):
            return
        if native:
            made = wait_for_file(pdf) and desktop_settled_file(pdf)
            if not ctx.check(made, "q: \"Bericht drucken\u2026\" exports the page as a PDF file",
                             repr(os.listdir(folder))):
                return
            check_text(ctx, pdf)
            check_colours(ctx, pdf)
            ctx.check(not session.program.message_boxes(), "q: no message box",
                      repr(session.program.message_boxes()))
            check_no_overwrite(ctx, session, item, pdf)
        else:
            box = desktop.wait_for_window(BOX_NAME, 20)
            texts = session.program.message_boxes()
            ctx.check(box and any("kein Drucker eingerichtet" in text for text in texts),
                      "q: with no printer installed, a German box says so", repr(texts))
            ctx.check(box and confirm_box(box), "q: the box closes with Return")
        ctx.check(session.close() == 0, "q: the program ends normally afterwards")
    finally:
        session.end()


def desktop_settled_file(path, timeout=15):
    """Waits until the file ends as a whole PDF does."""
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        with open(path, "rb") as data:
            if data.read().rstrip().endswith(b"%%EOF"):
                return True
        time.sleep(0.2)
    return False
