"""Scenarios a and e: a fresh start, and a start without any sound server."""

import os
import signal
import time

import chart
import datafile
import desktop
from session import BOX_NAME, DIALOG_NAME, Session, read_file

CAPTIONS = {
    "close": "Schlie\u00dfen",
    "new_test": "Neuer Test",
    "start_left": "Start links",
    "start_right": "Start rechts",
    "heard": "Geh\u00f6rt",
    "aid": "Orientierungshilfe",
    "store": "\u00dcbernehmen",
    "comparison": "Vergleich",
}
OPEN_ERROR = "Wave-Ausgabeger\u00e4t konnte nicht ge\u00f6ffnet werden!\r\n"
OPEN_ERROR_CODES = {
    2: "Ung\u00fcltige Ger\u00e4te-ID",
    4: "Das Ger\u00e4t wird benutzt",
    6: "Kein geeigneter Treiber",
    7: "Zu wenig Speicher",
    11: "Ung\u00fcltiger Parameter",
    32: "Ung\u00fcltiges Format",
    35: "Ger\u00e4t kann nur synchron arbeiten",
}


def scenario_a(ctx):
    folder = ctx.folder("a")
    session = Session(ctx, folder, "program.log")
    try:
        dialog = session.wait_for_dialog()
        if not ctx.check(dialog, "a: the dialog \"Tonolot 0.8\" appears"):
            return
        ctx.check(not session.program.message_boxes(), "a: no message box at start-up",
                  repr(session.program.message_boxes()))
        layout = session.layout
        ctx.check((layout.base_x, layout.base_y) == ctx.kind.base_units,
                  "a: dialog of 310 x 229 dialog units in %s (%d x %d)"
                  % ((ctx.kind.font,) + ctx.kind.base_units),
                  "client area gives base units %d x %d" % (layout.base_x, layout.base_y))
        shot = os.path.join(ctx.artifacts, "a-start.png")
        image = desktop.screenshot(shot)
        misread = []
        for control, caption in CAPTIONS.items():
            seen = session.read(shot, control, "ocr-%s.png" % control)
            if desktop.similarity(seen, caption) < 0.75:
                misread.append("%s reads %r" % (caption, seen))
        ctx.check(not misread, "a: the controls show their captions", "; ".join(misread))
        item = chart.find_item(image, layout.rect("chart"))
        ctx.check(item == layout.rect("chart"), "a: the chart lies where its dialog units put it",
                  "found %s, expected %s" % (item, layout.rect("chart")))
        ctx.check(not session.enabled(image, "heard") and session.enabled(image, "start_left")
                  and session.enabled(image, "start_right"),
                  "a: \"Geh\u00f6rt\" disabled, the start buttons enabled")
        name = session.read(shot, "name", "ocr-name.png")
        ctx.check(desktop.similarity(name, "Neue Person") >= 0.8,
                  "a: the name field holds \"Neue Person\"", "reads %r" % name)
        lines, box = session.open_list()
        desktop.key("Escape")
        texts = [text for text, _, _ in lines]
        ctx.check(len(texts) == 1 and desktop.similarity(texts[0], "unbekannter Standard") >= 0.8,
                  "a: the list holds \"unbekannter Standard\" only", "reads %r" % texts)
        if item:
            grey = chart.CurveCheck(image, item, [50 + 3 * i for i in range(10)], chart.GREY)
            ctx.check(grey.good, "a: the chart shows the standard's grey curve",
                      grey.describe())
            coloured = image.count(item, lambda p: p in (chart.RED, chart.BLUE))
            ctx.check(coloured == 0, "a: no red or blue curve before a run",
                      "%d pixels" % coloured)
        time.sleep(0.5)
        code = session.close()
        ctx.check(code == 0, "a: \"Schlie\u00dfen\" ends the program", "exit code %s" % code)
        ctx.check(not session.program.message_boxes(), "a: no question when closing")
        content = read_file(session.data_path)
        ctx.check(content == datafile.FALLBACK,
                  "a: the data file holds exactly the 85-byte fallback record",
                  "%r" % (content[:120] if content is not None else "no file"))
    finally:
        session.end()


def scenario_e(ctx):
    if ctx.pulse_pid:
        try:
            os.kill(ctx.pulse_pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        limit = time.monotonic() + 10
        while time.monotonic() < limit and _alive(ctx.pulse_pid):
            time.sleep(0.1)
    ctx.check(not ctx.pulse_pid or not _alive(ctx.pulse_pid), "e: the sound server is stopped")
    folder = ctx.folder("e")
    # An empty runtime folder as well, so no sound server can be found at all.
    session = Session(ctx, folder, "program.log", env={"XDG_RUNTIME_DIR": ctx.silent_runtime})
    try:
        limit = time.monotonic() + ctx.kind.start_timeout
        box = None
        dialog_first = False
        while time.monotonic() < limit and session.program.running():
            if desktop.find_windows(DIALOG_NAME):
                dialog_first = True
                break
            found = desktop.find_windows(BOX_NAME)
            if found:
                box = found[0]
                break
            time.sleep(0.1)
        ctx.check(box and not dialog_first,
                  "e: a message box \"Tonolot\" appears before the dialog")
        if not box:
            return
        x, y, width, height = desktop.geometry(box)
        desktop.wait_until_still((x, y, x + width, y + height))
        desktop.screenshot(os.path.join(ctx.artifacts, "e-error-box.png"))
        texts = session.program.message_boxes()
        text = texts[0] if texts else ""
        expected = [OPEN_ERROR + "%d = %s" % (code - 32, words)
                    for code, words in OPEN_ERROR_CODES.items()]
        ctx.check(text in expected or (text.startswith(OPEN_ERROR) and text.endswith(
            " = Unbekannter Fehler")),
                  "e: it says that the wave output device could not be opened, with a code",
                  repr(text))
        ctx.check(text == OPEN_ERROR + "-30 = " + OPEN_ERROR_CODES[2],
                  "e: %s shows as \"-30 = Ung\u00fcltige Ger\u00e4te-ID\""
                  % ctx.kind.no_server_cause, repr(text))
        # Like a user: bring the box to the front with a click on it, then confirm with Return.
        desktop.click(x + 8, y + 8)
        desktop.key("Return")
        gone = desktop.wait_until_gone(box, 10)
        dialog = session.wait_for_dialog()
        ctx.check(gone and dialog, "e: after the box is closed the dialog appears")
        if not dialog:
            return
        desktop.screenshot(os.path.join(ctx.artifacts, "e-dialog.png"))
        code = session.close()
        ctx.check(code == 0, "e: the program runs on and ends normally", "exit code %s" % code)
        ctx.check(read_file(session.data_path) == datafile.FALLBACK,
                  "e: it still keeps its data file")
    finally:
        session.end()


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie (already ended, not yet reaped by its parent) counts as gone.
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False
