"""Scenario d: the measurement stored under a typed name, the data file, and a restart."""

import os
import time

import chart
import datafile
import desktop
from session import Session, read_file

NAME = "Erika M\u00fcller"


def scenario_d(ctx, session):
    """Stores the measurement of b and c under a typed name, then closes and restarts."""
    session.click("name")
    time.sleep(0.2)
    desktop.key("End", "shift+Home")
    desktop.type_text(NAME)
    typed, _ = session.wait_to_read(
        "d-typed.png", lambda shot: session.read(shot, "name", "ocr-typed.png"), NAME)
    ctx.check(desktop.similarity(typed, NAME) >= 0.8, "d: the typed name shows in the name field",
              "reads %r" % typed)
    session.click("store")
    listed, _ = session.wait_to_read(
        "d-stored.png", lambda shot: session.read_list_field(shot, "ocr-list-field.png"), NAME)
    ctx.check(desktop.similarity(listed, NAME) >= 0.8,
              "d: after \"\u00dcbernehmen\" the list shows the new record", "reads %r" % listed)
    code = session.close()
    ctx.check(code == 0, "d: the program ends without asking, the measurement being stored",
              "exit code %s, boxes %r" % (code, session.program.message_boxes()))
    ctx.check(not session.program.message_boxes(),
              "d: no message box during the runs and the store",
              repr(session.program.message_boxes()))
    session.end()

    content = read_file(session.data_path)
    records, problem = datafile.parse(content or b"")
    ctx.check(records is not None and len(records) == 2,
              "d: the data file holds two record lines in the written format",
              problem or "%d records" % len(records))
    if not records or len(records) != 2:
        return content
    first, stored = records
    ctx.check(datafile.line_of(first) == datafile.FALLBACK, "d: the first record is the standard",
              repr(first))
    ctx.check(stored.name == NAME.encode("cp1252"), "d: the second record carries the typed name",
              repr(stored.name))
    ctx.check(content == datafile.FALLBACK + b"\r\n" + datafile.line_of(stored),
              "d: records joined by CR LF, no line end after the last")
    ctx.stored = stored
    return content


def scenario_d_restart(ctx, folder, saved):
    session = Session(ctx, folder, "program-restart.log")
    try:
        if not ctx.check(session.wait_for_dialog(), "d: the program starts again"):
            return
        lines, box = session.open_list()
        texts = [text for text, _, _ in lines]
        ctx.check(len(texts) == 2 and desktop.similarity(texts[0], "unbekannter Standard") >= 0.8
                  and desktop.similarity(texts[1], NAME) >= 0.8,
                  "d: after the restart the list holds the standard and the new record",
                  "reads %r" % texts)
        if len(lines) != 2:
            desktop.key("Escape")
            return
        _, top, bottom = lines[1]
        desktop.click(box[0] + box[2] // 2, (top + bottom) // 2)
        name, _ = session.wait_to_read(
            "d-chosen.png", lambda shot: session.read(shot, "name", "ocr-chosen.png"), NAME)
        ctx.check(desktop.similarity(name, NAME) >= 0.8,
                  "d: choosing the record puts its name into the name field", "reads %r" % name)
        session.click_check_box("comparison")
        caption, image = session.wait_to_read(
            "d-comparison.png",
            lambda shot: session.read(shot, "comparison", "ocr-comparison.png"),
            "Vergleich: " + NAME)
        desktop.wait_until_still(session.layout.rect("chart"))
        image = ctx.shot("d-comparison.png")
        ctx.check(desktop.similarity(caption, "Vergleich: " + NAME) >= 0.85,
                  "d: ticking \"Vergleich\" shows the caption \"Vergleich: %s\"" % NAME,
                  "reads %r" % caption)
        item = chart.find_item(image, session.layout.rect("chart"))
        if item and ctx.stored:
            pale_red = chart.CurveCheck(image, item, ctx.stored.left, chart.PALE_RED,
                                        covering=[chart.PALE_BLUE])
            pale_blue = chart.CurveCheck(image, item, ctx.stored.right, chart.PALE_BLUE)
            ctx.check(pale_red.good and pale_blue.good,
                      "d: the chosen record is drawn in pale red and pale blue",
                      "left: %s; right: %s" % (pale_red.describe(), pale_blue.describe()))
        code = session.close()
        ctx.check(code == 0, "d: closing after the comparison ends the program without asking",
                  "exit code %s" % code)
        ctx.check(read_file(session.data_path) == saved,
                  "d: the data file is written back unchanged")
    finally:
        session.end()
