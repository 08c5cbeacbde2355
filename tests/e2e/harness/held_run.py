"""Scenario h: a box during a run holds the tone.

A stored record is chosen, so that both ears are present and the run can be stored at its end.
During its left run the chart's menu shows "Audiogramm speichern\u2026" and "Bericht drucken\u2026"
greyed (the dark ink of the whole menu). "\u00dcbernehmen"
pressed while a tone rises shows the notice that the left ear is not measured yet; while it is
held open for 30 s nothing louder than what was already on its way to the sound card plays and
the program presses nothing by itself. Once it is closed the same tone comes back from silence,
the run is completed, and the stored record holds the levels of the presses only.
"""

import os
import time

import analysis
import datafile
import desktop
import listening
from capture import Capture
from ear_runs import LONGEST_PAUSE
from session import BOX_NAME, Session, read_file

HOLD_SECONDS = 30
NAME = "Hanna Halt"
RECORD = datafile.Record(NAME.encode("cp1252"), [40] * 10, [45 + i for i in range(10)])
NOT_MEASURED = ("Das linke Ohr wurde noch nicht gemessen, oder die Messung ist "
                "ung\u00fcltig!")
ASK_OVERWRITE = "M\u00f6chten Sie die Messung mit der neuen \u00fcberschreiben?"
# Loudness in the recording at which a tone is answered, and at which the box is opened; the
# tone that comes back after the box is answered loud enough to measure its frequency.
HEARD_AT = 8
OPENED_AT = 60
MEASURED_AT = 40
# Buffers of growth that may still come out after the box opened: those on their way in the ring
# and the sound server, and what sounded while the click arrived and the capture caught up.
ON_ITS_WAY = 16


def menu_ink(ctx, item, name):
    """Opens the chart's menu, counts the dark pixels of its text, and closes it again."""
    before = desktop.visible_windows()
    desktop.run("xdotool", "mousemove", str((item[0] + item[2]) // 2),
                str((item[1] + item[3]) // 2), "sleep", "0.05", "click", "3")
    menu = desktop.wait_for_new_window(before, 5)
    if not menu:
        return None
    time.sleep(0.3)
    image = ctx.shot(name)
    left, top, width, height = desktop.geometry(menu)
    ink = image.count((left, top, left + width, top + height),
                      lambda pixel: pixel is not None and max(pixel) < 60)
    desktop.key("Escape")
    desktop.wait_until_gone(menu, 5)
    return ink


def confirm_box(box):
    """Brings the box to the front with a click on it and presses Return, as a user would."""
    x, y, _, _ = desktop.geometry(box)
    desktop.click(x + 8, y + 8)
    desktop.key("Return")
    return desktop.wait_until_gone(box, 10)


def answer_tones(ctx, session, capture, count, allowance):
    """Answers `count` tones as soon as each reaches HEARD_AT (the first MEASURED_AT);
    [(begin, stop)] of each."""
    desktop.move(*session.layout.centre("heard"))
    bounds = []
    boundary = capture.poll()
    for number in range(1, count + 1):
        loudness = MEASURED_AT if number == 1 else HEARD_AT
        if not listening.wait_for_loudness(capture, loudness, allowance + 9):
            ctx.check(False, "h: tone %d after the box comes" % number)
            return bounds
        desktop.click_here()
        stop = listening.wait_for_silence(capture, 0.1, 2.5)
        if stop is None:
            ctx.check(False, "h: tone %d after the box ends when pressed" % number)
            return bounds
        bounds.append((boundary, stop))
        boundary = stop
    return bounds


def scenario_h(ctx):
    folder = ctx.folder("h")
    with open(os.path.join(folder, "tonolot.def"), "wb") as data:
        data.write(datafile.FALLBACK + b"\r\n" + datafile.line_of(RECORD))
    session = Session(ctx, folder, "program-held.log")
    capture = None
    allowance = LONGEST_PAUSE + ctx.kind.device_start
    try:
        if not ctx.check(session.wait_for_dialog(), "h: the program starts with a stored record"):
            return
        lines, box = session.open_list()
        if not ctx.check(len(lines) == 2, "h: the list holds the stored record", repr(lines)):
            return
        desktop.click(box[0] + box[2] // 2, (lines[1][1] + lines[1][2]) // 2)
        time.sleep(1.0)
        item = session.layout.rect("chart")
        idle_ink = menu_ink(ctx, item, "h-menu-idle.png")

        capture = Capture(os.path.join(folder, "capture.raw"))
        if not ctx.check(capture.wait_until_running(), "h: the capture of the null sink runs"):
            return
        session.click("start_left")
        if not ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                         "h: the left run's first tone plays"):
            return
        run_ink = menu_ink(ctx, item, "h-menu-run.png")
        ctx.check(idle_ink is not None and run_ink is not None and idle_ink > 20
                  and run_ink * 4 < idle_ink,
                  "h: the chart's menu items are greyed during a run, not before",
                  "dark pixels %s before the run, %s during it" % (idle_ink, run_ink))

        # The tone, held by the menu, comes back and rises; the box opens in the middle of it.
        if not ctx.check(listening.wait_for_loudness(capture, OPENED_AT, allowance + 14),
                         "h: after the menu the tone comes back"):
            return
        opened = capture.poll()
        before = capture.recording.peak(0, opened - analysis.WINDOW, opened)
        session.click("store")
        box = desktop.wait_for_window(BOX_NAME, 10)
        if not ctx.check(box, "h: \"\u00dcbernehmen\" during the run shows a box"):
            return
        time.sleep(HOLD_SECONDS)
        ctx.shot("h-box-held.png")
        held_end = capture.poll()
        recording = capture.recording
        loudest = max(recording.peak(0, opened, held_end), recording.peak(1, opened, held_end))
        later = max(recording.peak(0, opened + analysis.RATE, held_end),
                    recording.peak(1, opened + analysis.RATE, held_end))
        limit = before * analysis.GROWTH ** ON_ITS_WAY
        ctx.check(loudest <= limit and later == 0 and held_end - opened >= 25 * analysis.RATE,
                  "h: while the box is open %d s the tone never rises above what was on its way, "
                  "then all is silent" % HOLD_SECONDS,
                  "%d at the click, at most %d after it (%d allowed), %d from a second on"
                  % (before, loudest, limit, later))
        ctx.check(session.program.message_boxes() == [NOT_MEASURED],
                  "h: the box says the left ear is not measured yet, and no other opens",
                  repr(session.program.message_boxes()))
        if not ctx.check(confirm_box(box), "h: the box closes"):
            return

        bounds = answer_tones(ctx, session, capture, 10, allowance)
        tones = [analysis.tone_between(recording, begin, stop) for begin, stop in bounds]
        held = analysis.tone_between(recording, opened - 2 * analysis.RATE, opened)
        again = tones[0] if tones else None
        ctx.check(held and again and held.frequency and again.frequency
                  and abs(again.frequency / held.frequency - 1) <= 0.01
                  and again.first_peak <= 2,
                  "h: after the box the same tone comes back from silence",
                  "held %s; then %s" % (held and held.describe(), again and again.describe()))
        image = ctx.shot("h-idle.png")
        ctx.check(len(bounds) == 10 and not session.enabled(image, "heard")
                  and session.enabled(image, "start_left"),
                  "h: the run goes on to its tenth tone and ends", "%d tones" % len(bounds))

        session.click("store")
        box = desktop.wait_for_window(BOX_NAME, 10)
        ctx.check(box and confirm_box(box), "h: storing asks before overwriting; Return is Yes")
        time.sleep(0.5)
        code = session.close()
        records, problem = datafile.parse(read_file(session.data_path) or b"")
        stored = records[1] if records and len(records) == 2 else None
        ctx.check(code == 0 and stored and stored.right == RECORD.right
                  and all(2 <= level <= 1000 for level in stored.left),
                  "h: the stored left ear holds the levels of the presses, none from the time "
                  "of the box (no automatic press)",
                  "exit code %s, %s" % (code, problem or repr(stored)))
    finally:
        if capture:
            capture.stop()
        session.end()
