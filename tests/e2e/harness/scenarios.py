"""End-to-end scenarios of tonolot.exe, driven as a new user would drive it.

a. Fresh start without a data file; closing writes the fallback record.
b. A left run, every tone heard soon after it becomes audible in the recording.
c. A right run in which one tone is left unheard until the program presses by itself.
d. Storing the measurement under a typed name; the data file; a restart lists the record, and
   choosing it with "Vergleich" ticked names it in the check box.
e. Start-up without any sound server: the error box, then the dialog.
f. The chart after both runs: red and blue curves where the stored levels put them.
"""

import argparse
import math
import os
import shutil
import signal
import subprocess
import sys
import time

import analysis
import chart
import children
import datafile
import desktop
import listening
from capture import Capture
from dialog import DialogLayout
from program import WineProgram
from report import Report, fail_on_exception

TABLE = [70, 125, 250, 500, 1000, 2000, 4000, 6000, 8000, 12000]
DIALOG_NAME = r"^Tonolot 0\.8$"
BOX_NAME = r"^Tonolot$"
# The captured loudness at which the k-th tone of a run is "heard". They differ from tone to
# tone, so a level stored under the wrong frequency shows, and stay low enough that the stored
# levels lie inside the chart's plot. None: the tone is left unheard.
LEFT_THRESHOLDS = [30, 70, 120, 45, 150, 25, 95, 60, 135, 40]
RIGHT_THRESHOLDS = [140, 35, 80, None, 55, 110, 28, 125, 65, 90]
NAME = "Erika M\u00fcller"
# Longest pause before a tone (rand() / 10 ms) and what Wine needs to start a freshly opened
# device on top of it, measured with the harness probe under load.
LONGEST_PAUSE = 3.3
DEVICE_START = 0.5
# How far the program's level may run ahead of the loudness captured at the click, in buffers:
# the ring fills four buffers ahead of playback, the sink and the capture add a few more, and
# the click takes a moment to arrive. Holes in the tone (the player fell behind) come on top.
LEAD_BUFFERS = 12
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


class Context:
    def __init__(self, arguments):
        self.report = Report()
        self.exe = arguments.exe
        self.artifacts = arguments.artifacts
        self.silent_runtime = arguments.silent_runtime_dir
        self.pulse_pid = arguments.pulse_pid
        self.capture = None
        self.runs = {}  # "b"/"c" -> EarRun
        self.stored = None  # the measured record as read from the data file
        self.chart_shot = None

    def check(self, condition, name, detail=""):
        return self.report.check(condition, name, detail)

    def folder(self, name, fresh=True):
        path = os.path.join(self.artifacts, name)
        if fresh:
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
            shutil.copy(self.exe, os.path.join(path, "tonolot.exe"))
        return path

    def shot(self, name):
        return desktop.screenshot(os.path.join(self.artifacts, name))


class Session:
    """One run of the program: its process, its dialog and where the dialog's controls lie."""

    def __init__(self, ctx, folder, log_name, env=None):
        self.ctx = ctx
        self.folder = folder
        self.data_path = os.path.join(folder, "tonolot.def")
        self.program = WineProgram(os.path.join(folder, "tonolot.exe"),
                                   os.path.join(folder, log_name), env)
        self.dialog = None
        self.layout = None

    def wait_for_dialog(self, timeout=90):
        self.dialog = desktop.wait_for_window(DIALOG_NAME, timeout,
                                              stop_if=lambda: not self.program.running())
        if self.dialog:
            self.layout = DialogLayout(*desktop.geometry(self.dialog))
            time.sleep(1.0)  # let it paint
        return self.dialog

    def click(self, control):
        desktop.click(*self.layout.centre(control))

    def click_check_box(self, control):
        left, top, _, bottom = self.layout.rect(control)
        desktop.click(left + 6, (top + bottom) // 2)

    def read(self, image_path, control, work_name):
        rect = self.layout.rect(control)
        if control in ("aid", "comparison"):
            rect = (rect[0] + 15,) + rect[1:]  # the text beside the check box's square
        else:
            # Inside the button's frame and its focus rectangle.
            inset = 2 if control == "name" else 4
            rect = (rect[0] + inset, rect[1] + inset, rect[2] - inset, rect[3] - inset)
        return desktop.read_text(image_path, rect, os.path.join(self.folder, work_name))

    def read_list_field(self, image_path, work_name):
        return desktop.read_text(image_path, self.layout.combo_field(),
                                 os.path.join(self.folder, work_name))

    def open_list(self):
        """Opens the drop-down list; returns [(text, top, bottom)] of its lines and the window."""
        before = desktop.visible_windows()
        left, top, right, bottom = self.layout.combo_field()
        desktop.click((left + right) // 2, (top + bottom) // 2)
        window = desktop.wait_for_new_window(before, 5)
        if not window:
            return [], None
        time.sleep(0.3)
        x, y, width, height = desktop.geometry(window)
        shot = os.path.join(self.folder, "list-open.png")
        desktop.screenshot(shot)
        lines = desktop.read_lines(shot, (x, y, x + width, y + height),
                                   os.path.join(self.folder, "ocr-list.png"))
        return lines, (x, y, width, height)

    def enabled(self, image, control):
        """Whether a push button shows its caption in the dark text of an enabled button."""
        left, top, right, bottom = self.layout.rect(control)
        dark = image.count((left + 4, top + 4, right - 4, bottom - 4),
                           lambda pixel: pixel is not None and max(pixel) < 60)
        return dark > 15

    def close(self, timeout=30):
        """Clicks "Schließen" and waits for the program to end; returns its exit code or None."""
        self.click("close")
        return self.program.wait_exit(timeout)

    def end(self):
        self.program.kill()


class EarRun:
    """What happened in one run: when it began, each press of "Gehört", the tones recorded."""

    def __init__(self, label, channel, thresholds):
        self.label = label
        self.channel = channel
        self.thresholds = thresholds
        self.start_frame = None
        self.end_frame = None
        self.presses = []  # capture frame just before each press, None for the unheard tone
        self.bounds = []  # (first, last) frame of the part of the recording with each tone
        self.unheard = None  # frame where the unheard tone stopped
        self.retries = 0
        self.tones = []
        self.pairs = []  # (tone, press frame or None)


# ---------------------------------------------------------------------------------------------
# a


def scenario_a(ctx):
    folder = ctx.folder("a")
    session = Session(ctx, folder, "wine.log")
    try:
        dialog = session.wait_for_dialog()
        if not ctx.check(dialog, "a: the dialog \"Tonolot 0.8\" appears"):
            return
        ctx.check(not session.program.message_boxes(), "a: no message box at start-up",
                  repr(session.program.message_boxes()))
        layout = session.layout
        ctx.check((layout.base_x, layout.base_y) == (7, 13),
                  "a: dialog of 310 x 229 dialog units in 8 pt Arial",
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
        content = _read(session.data_path)
        ctx.check(content == datafile.FALLBACK,
                  "a: the data file holds exactly the 85-byte fallback record",
                  "%r" % (content[:120] if content is not None else "no file"))
    finally:
        session.end()


def _read(path):
    try:
        with open(path, "rb") as data:
            return data.read()
    except OSError:
        return None


# ---------------------------------------------------------------------------------------------
# b and c


def ear_run(ctx, session, run, button):
    """Starts a run and answers each tone as a listener would, from the recording.

    Each tone lies between the end of the previous one (or the start of the run) and the moment
    the recording falls silent after its press, so the recording is divided by the presses.
    """
    capture = ctx.capture
    run.start_frame = capture.poll()
    session.click(button)
    desktop.move(*session.layout.centre("heard"))  # the pointer rests on "Gehört"
    boundary = run.start_frame
    for index, threshold in enumerate(run.thresholds):
        number = index + 1
        if threshold is None:
            # Left unheard: it rises until the program presses by itself.
            hit = listening.wait_for_loudness(capture, 20000, LONGEST_PAUSE + DEVICE_START + 22,
                                              run.channel)
            stop = listening.wait_for_silence(capture, 0.1, 6) if hit else None
            if not ctx.check(stop is not None, "%s: tone %d, left unheard, ends by itself"
                             % (run.label, number)):
                break
            run.unheard = stop
            run.presses.append(None)
            run.bounds.append((boundary, stop))
            boundary = stop
            continue
        hit = listening.wait_for_loudness(capture, threshold, LONGEST_PAUSE + DEVICE_START + 14)
        if not hit:
            ctx.check(False, "%s: tone %d comes and grows to %d" % (run.label, number, threshold))
            break
        if index == 0:
            run.measuring_shot = ctx.shot("%s-measuring.png" % run.label)
        stop = None
        for attempt in range(3):
            press = capture.poll()
            desktop.click_here()
            stop = listening.wait_for_silence(capture, 0.1, 2.5)
            if stop is not None:
                break
            run.retries += 1
        run.presses.append(press)
        if stop is None:
            ctx.check(False, "%s: tone %d ends when pressed" % (run.label, number))
            break
        run.bounds.append((boundary, stop))
        boundary = stop
    # After the last tone nothing more may come (the longest pause and more).
    run.trailing = listening.sound_within(capture, LONGEST_PAUSE + DEVICE_START + 0.7)
    run.end_frame = capture.poll()
    run.idle_shot = ctx.shot("%s-idle.png" % run.label)
    run.tones = [analysis.tone_between(capture.recording, begin, stop)
                 for begin, stop in run.bounds]
    run.pairs = [(tone, press) for tone, press in zip(run.tones, run.presses) if tone]


def check_run(ctx, session, run):
    label = run.label
    report = ctx.check
    tones = [tone for tone in run.tones if tone]
    with open(os.path.join(ctx.artifacts, "%s-tones.txt" % label), "w") as notes:
        for tone, press in run.pairs:
            notes.write(tone.describe() + (", pressed at %.3f s" % (press / analysis.RATE)
                                           if press else ", not pressed") + "\n")
    report(run.retries == 0, "%s: each press of \"Geh\u00f6rt\" ends its tone at once" % label,
           "%d presses repeated" % run.retries)
    report(len(tones) == 10 and run.trailing is None, "%s: ten tones, then silence" % label,
           "%d tones%s" % (len(tones), "" if run.trailing is None else
                           ", sound again at %.2f s" % (run.trailing / analysis.RATE)))
    holes = sum(len(tone.pieces) - 1 for tone in tones)
    if holes:
        ctx.report.note("%s: %d short holes in the tones (the player fell behind)" % (label, holes))
    if not tones:
        return
    ear = "left" if run.channel == 0 else "right"
    wrong = ["%.0f Hz in the %s channel" % (t.frequency or 0, "left" if t.channel == 0 else "right")
             for t in tones if t.channel != run.channel]
    leaking = ["%.0f Hz: other channel up to %d" % (t.frequency or 0, t.other_peak)
               for t in tones if t.other_peak != 0]
    report(not wrong and not leaking,
           "%s: every tone in the %s channel only, the other channel silent" % (label, ear),
           "; ".join(wrong + leaking))
    matched = []
    off = []
    for tone in tones:
        if tone.frequency is None:
            off.append("a tone without a measurable frequency")
            continue
        nearest, deviation = analysis.nearest_table_frequency(tone.frequency, TABLE)
        matched.append(nearest)
        if deviation > 0.01:
            off.append("%.2f Hz" % tone.frequency)
    report(sorted(matched) == TABLE and not off,
           "%s: the ten frequencies of the table once each, within 1 %%" % label,
           "measured %s%s" % (", ".join("%.1f" % (t.frequency or 0) for t in tones),
                              "; off: " + ", ".join(off) if off else ""))
    loud_start = ["%.0f Hz starts at %d" % (t.frequency or 0, t.first_peak) for t in tones
                  if t.first_peak > 2]
    report(not loud_start, "%s: every tone rises from silence" % label, "; ".join(loud_start))
    growths = [t.growth for t in tones]
    report(all(g is not None and abs(g - 1.015) <= 0.001 for g in growths),
           "%s: every tone grows by 1.5 %% per 1024 frames" % label,
           "factors " + ", ".join("%.4f" % g if g else "none" for g in growths))
    pauses = []
    previous_end = run.start_frame
    for tone in tones:
        if tone.origin is None:
            pauses.append(None)
        else:
            # The device starts with four silent buffers and the first fill is silent too.
            started = tone.origin - 5 * analysis.WINDOW
            pauses.append((started - previous_end) / analysis.RATE)
        previous_end = tone.end
    longest = max((p for p in pauses if p is not None), default=None)
    report(None not in pauses and longest <= LONGEST_PAUSE + DEVICE_START,
           "%s: each tone after a pause of at most 3.3 s" % label,
           "pauses %s s; %.1f s allowed for Wine to start the device" %
           (", ".join("%.2f" % p if p is not None else "?" for p in pauses), DEVICE_START))
    late = []
    for tone, press in run.pairs:
        if press is not None and not (-0.02 <= (tone.end - press) / analysis.RATE <= 0.6):
            late.append("%.0f Hz ended %.2f s after the press"
                        % (tone.frequency or 0, (tone.end - press) / analysis.RATE))
    unpressed = sum(1 for _, press in run.pairs if press is None)
    report(not late and unpressed == run.thresholds.count(None),
           "%s: every tone ends when \"Geh\u00f6rt\" is pressed" % label,
           "; ".join(late + ["%d tones without a press" % unpressed]))
    measuring = getattr(run, "measuring_shot", None)
    if measuring:
        report(session.enabled(measuring, "heard") and not session.enabled(measuring, "start_left")
               and not session.enabled(measuring, "start_right"),
               "%s: during the run \"Geh\u00f6rt\" is enabled, the start buttons disabled" % label)
    report(not session.enabled(run.idle_shot, "heard") and session.enabled(run.idle_shot,
                                                                          "start_left")
           and session.enabled(run.idle_shot, "start_right"),
           "%s: after the run \"Geh\u00f6rt\" is disabled, the start buttons enabled" % label)


def check_unheard(ctx, run):
    """The tone left unheard rises to full loudness, and the program presses by itself."""
    tone = next((tone for tone, press in run.pairs if press is None), None)
    if not ctx.check(tone is not None and tone.origin is not None,
                     "c: the tone left unheard is recorded"):
        return
    # From its first audible buffer (0.9 * 1.015) the level reaches 30000 after 699 more; the
    # program presses when the level passes 30000, while the ring still holds the last three or
    # four buffers, so those are cut off.
    peak = max(ctx.capture.recording.peak(tone.channel, begin, stop) for begin, stop in tone.pieces)
    buffers = (tone.end - tone.origin - tone.gap_frames()) / analysis.WINDOW
    ctx.check(peak >= 30000 / analysis.GROWTH ** 8 and 690 <= buffers <= 706,
              "c: it rises to full loudness, and the program presses by itself",
              "%.0f Hz, %.1f buffers from the first audible one, peak %d"
              % (tone.frequency or 0, buffers, peak))


def check_stored_levels(ctx, run, levels):
    """The level stored for each frequency against the loudness captured when it was pressed."""
    notes = []
    wrong = []
    for tone, press in run.pairs:
        if tone.frequency is None:
            continue
        nearest, _ = analysis.nearest_table_frequency(tone.frequency, TABLE)
        stored = levels[TABLE.index(nearest)]
        if press is None:
            continue
        heard = tone.amplitude_at(press)
        if heard is None or stored <= 0:
            wrong.append("%d Hz: stored %d" % (nearest, stored))
            continue
        ahead = math.log(stored / heard) / math.log(analysis.GROWTH)
        holes = tone.gap_frames(press) / analysis.WINDOW
        notes.append("%d Hz %d/%.0f (%+.1f)" % (nearest, stored, heard, ahead))
        if not (0.0 <= ahead <= LEAD_BUFFERS + holes):
            wrong.append("%d Hz: stored %d, captured %.1f at the press, %.1f buffers apart"
                         % (nearest, stored, heard, ahead))
    ctx.check(not wrong and len(notes) >= 9,
              "%s: each stored level agrees with the loudness captured at the press" % run.label,
              ("; ".join(wrong) + " | " if wrong else "") + "stored/captured (buffers ahead): "
              + ", ".join(notes))


# ---------------------------------------------------------------------------------------------
# d


def scenario_d(ctx, session):
    """Stores the measurement of b and c under a typed name, then closes and restarts."""
    session.click("name")
    time.sleep(0.2)
    desktop.key("End", "shift+Home")
    desktop.type_text(NAME)
    time.sleep(0.3)
    shot = os.path.join(ctx.artifacts, "d-typed.png")
    desktop.screenshot(shot)
    typed = session.read(shot, "name", "ocr-typed.png")
    ctx.check(desktop.similarity(typed, NAME) >= 0.8, "d: the typed name shows in the name field",
              "reads %r" % typed)
    session.click("store")
    time.sleep(1.0)
    shot = os.path.join(ctx.artifacts, "d-stored.png")
    desktop.screenshot(shot)
    listed = session.read_list_field(shot, "ocr-list-field.png")
    ctx.check(desktop.similarity(listed, NAME) >= 0.8,
              "d: after \"\u00dcbernehmen\" the list shows the new record", "reads %r" % listed)
    code = session.close()
    ctx.check(code == 0, "d: the program ends without asking, the measurement being stored",
              "exit code %s, boxes %r" % (code, session.program.message_boxes()))
    ctx.check(not session.program.message_boxes(), "d: no message box during the runs and the store",
              repr(session.program.message_boxes()))
    session.end()

    content = _read(session.data_path)
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
    session = Session(ctx, folder, "wine-restart.log")
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
        time.sleep(1.0)
        session.click_check_box("comparison")
        time.sleep(1.0)
        shot = os.path.join(ctx.artifacts, "d-comparison.png")
        image = desktop.screenshot(shot)
        name = session.read(shot, "name", "ocr-chosen.png")
        ctx.check(desktop.similarity(name, NAME) >= 0.8,
                  "d: choosing the record puts its name into the name field", "reads %r" % name)
        caption = session.read(shot, "comparison", "ocr-comparison.png")
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
        ctx.check(_read(session.data_path) == saved, "d: the data file is written back unchanged")
    finally:
        session.end()


# ---------------------------------------------------------------------------------------------
# e


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
    session = Session(ctx, folder, "wine.log", env={"XDG_RUNTIME_DIR": ctx.silent_runtime})
    try:
        limit = time.monotonic() + 90
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
        time.sleep(0.5)
        desktop.screenshot(os.path.join(ctx.artifacts, "e-error-box.png"))
        texts = session.program.message_boxes()
        text = texts[0] if texts else ""
        expected = [OPEN_ERROR + "%d = %s" % (code - 32, words)
                    for code, words in OPEN_ERROR_CODES.items()]
        ctx.check(text in expected or (text.startswith(OPEN_ERROR) and text.endswith(
            " = Unbekannter Fehler")),
                  "e: it says that the wave output device could not be opened, with Wine's code",
                  repr(text))
        ctx.check(text == OPEN_ERROR + "-30 = " + OPEN_ERROR_CODES[2],
                  "e: Wine's code without a sound server, 2, shows as \"-30 = Ung\u00fcltige "
                  "Ger\u00e4te-ID\"", repr(text))
        # Like a user: bring the box to the front with a click on it, then confirm with Return.
        x, y, _, _ = desktop.geometry(box)
        desktop.click(x + 8, y + 8)
        desktop.key("Return")
        gone = desktop.wait_until_gone(box, 10)
        dialog = session.wait_for_dialog(60)
        ctx.check(gone and dialog, "e: after the box is closed the dialog appears")
        if not dialog:
            return
        desktop.screenshot(os.path.join(ctx.artifacts, "e-dialog.png"))
        code = session.close()
        ctx.check(code == 0, "e: the program runs on and ends normally", "exit code %s" % code)
        ctx.check(_read(session.data_path) == datafile.FALLBACK,
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


# ---------------------------------------------------------------------------------------------
# f


def scenario_f(ctx):
    if not ctx.check(ctx.chart_shot and ctx.stored, "f: a screenshot after both runs and the "
                     "stored levels"):
        return
    image = desktop.Image(ctx.chart_shot)
    layout_rect = ctx.chart_rect
    item = chart.find_item(image, layout_rect)
    if not ctx.check(item == layout_rect, "f: the chart found on the screenshot",
                     "found %s, expected %s" % (item, layout_rect)):
        return
    plot_top, plot_bottom = chart.plot_of(item)[1], chart.plot_of(item)[3]
    for levels, colour, covering, name in ((ctx.stored.left, chart.RED, [chart.BLUE], "red"),
                                           (ctx.stored.right, chart.BLUE, [], "blue")):
        inside = sum(1 for level in levels if plot_top + level < plot_bottom - 1)
        curve = chart.CurveCheck(image, item, levels, colour, covering)
        ctx.check(curve.good and inside >= 6,
                  "f: the %s curve (%s ear) lies where the stored levels put it"
                  % (name, "left" if colour == chart.RED else "right"),
                  "%d of 10 levels inside the plot; %s" % (inside, curve.describe()))
    marked = os.path.join(ctx.artifacts, "f-chart-marked.png")
    chart.mark_points(ctx.chart_shot, marked, item, [(ctx.stored.left, "orange"),
                                                      (ctx.stored.right, "cyan")])


# ---------------------------------------------------------------------------------------------


def keep_recording(ctx):
    """The recording of the runs as FLAC and a spectrogram, for a person to listen and look."""
    raw = ctx.capture.path
    flac = os.path.join(ctx.artifacts, "capture.flac")
    subprocess.run(["sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2",
                    raw, flac], capture_output=True)
    subprocess.run(["sox", flac, "-n", "remix", "1,2", "spectrogram", "-x", "2000", "-y", "400",
                    "-o", os.path.join(ctx.artifacts, "capture-spectrogram.png")],
                   capture_output=True)
    if os.path.exists(flac):
        os.remove(raw)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("artifacts")
    parser.add_argument("--silent-runtime-dir", required=True)
    parser.add_argument("--pid-file")
    parser.add_argument("--pulse-pid", type=int, default=0)
    parser.add_argument("--scenarios", default="abcdef",
                        help="letters of the scenarios to run, for working on one of them")
    arguments = parser.parse_args()
    children.set_pid_file(arguments.pid_file)
    os.makedirs(arguments.artifacts, exist_ok=True)
    ctx = Context(arguments)
    started = time.monotonic()

    ctx.capture = Capture(os.path.join(ctx.artifacts, "capture.raw"))
    if not ctx.check(ctx.capture.wait_until_running(), "the capture of the null sink runs"):
        sys.exit(ctx.report.summary())

    chosen = arguments.scenarios
    with fail_on_exception(ctx.report, "a: fresh start"):
        if "a" in chosen:
            scenario_a(ctx)
    if not set(chosen) & set("bcdf"):
        ctx.capture.stop()
        with fail_on_exception(ctx.report, "e: no sound server"):
            if "e" in chosen:
                scenario_e(ctx)
        sys.exit(ctx.report.summary())

    folder = ctx.folder("a", fresh=False)
    session = Session(ctx, folder, "wine-runs.log")
    saved = None
    try:
        runs_ok = False
        with fail_on_exception(ctx.report, "b: left run"):
            if ctx.check(session.wait_for_dialog(), "b: the program starts with its data file"):
                ctx.chart_rect = session.layout.rect("chart")
                left = EarRun("b", 0, LEFT_THRESHOLDS)
                ctx.runs["b"] = left
                ear_run(ctx, session, left, "start_left")
                check_run(ctx, session, left)
                runs_ok = True
        with fail_on_exception(ctx.report, "c: right run"):
            if runs_ok:
                right = EarRun("c", 1, RIGHT_THRESHOLDS)
                ctx.runs["c"] = right
                ear_run(ctx, session, right, "start_right")
                check_run(ctx, session, right)
                check_unheard(ctx, right)
                # The chart after both runs, kept for f.
                ctx.chart_shot = os.path.join(ctx.artifacts, "f-chart.png")
                shutil.copy(right.idle_shot.path, ctx.chart_shot)
        with fail_on_exception(ctx.report, "d: store and restart"):
            if runs_ok:
                saved = scenario_d(ctx, session)
                if ctx.stored:
                    if "b" in ctx.runs:
                        check_stored_levels(ctx, ctx.runs["b"], ctx.stored.left)
                    if "c" in ctx.runs:
                        check_stored_levels(ctx, ctx.runs["c"], ctx.stored.right)
                        unheard = [level for level in ctx.stored.right if level > 30001]
                        ctx.check(len(unheard) == 1 and unheard[0] <= 30050,
                                  "c: the unheard tone is stored above 30001",
                                  "right levels %s" % ctx.stored.right)
    finally:
        session.end()
        ctx.capture.stop()
    with fail_on_exception(ctx.report, "d: restart"):
        if saved is not None:
            scenario_d_restart(ctx, folder, saved)
    keep_recording(ctx)

    with fail_on_exception(ctx.report, "e: no sound server"):
        scenario_e(ctx)
    with fail_on_exception(ctx.report, "f: chart"):
        scenario_f(ctx)
    ctx.report.note("took %.0f s" % (time.monotonic() - started))
    sys.exit(ctx.report.summary())


if __name__ == "__main__":
    main()
