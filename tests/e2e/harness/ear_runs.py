"""Scenarios b and c: a run for each ear, answered as a listener would from the recording."""

import math
import os
import re

import analysis
import stalls as stalls_module
import desktop
import listening

TABLE = [70, 125, 250, 500, 1000, 2000, 4000, 6000, 8000, 12000]
# The captured loudness at which the k-th tone of a run is "heard". They differ from tone to
# tone, so a level stored under the wrong frequency shows, and stay low enough that the stored
# levels lie inside the chart's plot. None: the tone is left unheard.
LEFT_THRESHOLDS = [30, 70, 120, 45, 150, 25, 95, 60, 135, 40]
RIGHT_THRESHOLDS = [140, 35, 80, None, 55, 110, 28, 125, 65, 90]
# Lower ones for the runs by keyboard and by screen reader: audible sooner, so they take less
# time, and still different from tone to tone; from 20 up, so that each tone rises long enough
# above the capture's coarse lowest steps for its growth to be measured.
QUICK_LEFT_THRESHOLDS = [22, 40, 28, 46, 20, 34, 30, 50, 25, 37]
QUICK_RIGHT_THRESHOLDS = [38, 21, 47, 29, 42, 24, 33, 52, 26, 35]
# Longest pause before a tone (rand() / 10 ms); what the device needs to start on top of it
# depends on the program's kind (ctx.kind.device_start).
LONGEST_PAUSE = 3.3
# How far the stored level may lie above the loudness captured at the click, in buffers: a press
# stores what sounds when it arrives, which must stay within 1.015^5 of what was heard, and the
# capture's own latency adds up to one buffer. Holes in the tone (the player fell behind) come on
# top. Below: a notification that came late (the program takes the buffer before for the one
# sounding) and one unit of truncation at the lowest levels stored here (20: 3.3 buffers).
LEAD_BUFFERS = 6
LAG_BUFFERS = 4.5
# From a pause's end, when the program hands the sound server a tone's first frame (its audio
# trace writes the time), until that frame sounds in the recording: at most START_DELAY. The
# recording's clock is known to CAPTURE_CLOCK only (a frame's time is reckoned from when frames
# arrive, and the tone's origin from a fit), and the recorder's own lag comes on top: a quantum on
# PipeWire (2048 frames at most). (The sink's own delay cannot tell it: the pulse plugin reports
# the frames of a new stream as played within a few ms.)
START_DELAY = 0.1
CAPTURE_CLOCK = 0.05
RECORDER_LAG = 2048 / 48000
# Each tone's frequency over each span of its length, against the table's.
FREQUENCY_TOLERANCE = 0.001
# The audio trace's lines: a tone's first frames handed over, and a stream the sink restarted.
_STARTS = re.compile(r"tonolot: alsa: \[([0-9.]+)\] starts")
_RESTARTS = re.compile(r"tonolot: alsa: \[([0-9.]+)\] .*(given them again|opened again)")

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
        self.attempts = []  # presses each heard tone took to end
        self.tones = []
        self.pairs = []  # (tone, press frame or None)
        self.capture = None  # the recording the run was listened to in


class MousePresses:
    """A person with a mouse: clicks the start button, then rests the pointer on "Geh\u00f6rt"."""

    def __init__(self, session):
        self.session = session

    def start(self, button):
        self.session.click(button)
        desktop.move(*self.session.layout.centre("heard"))

    def heard(self, number):
        desktop.click_here()


def ear_run(ctx, session, run, button, presses=None, capture=None):
    """Starts a run and answers each tone as a listener would, from the recording; `presses`
    starts the run and presses "Geh\u00f6rt" (the mouse unless another way is given).

    Each tone lies between the end of the previous one (or the start of the run) and the moment
    the recording falls silent after its press, so the recording is divided by the presses.
    """
    capture = capture or ctx.capture
    run.capture = capture
    presses = presses or MousePresses(session)
    allowance = LONGEST_PAUSE + ctx.kind.device_start
    run.start_frame = capture.poll()
    presses.start(button)
    boundary = run.start_frame
    for index, threshold in enumerate(run.thresholds):
        number = index + 1
        if threshold is None:
            # Left unheard: it rises until the program presses by itself.
            hit = listening.wait_for_loudness(capture, 20000, allowance + 22, run.channel)
            stop = listening.wait_for_silence(capture, 0.1, 6) if hit else None
            if not ctx.check(stop is not None, "%s: tone %d, left unheard, ends by itself"
                             % (run.label, number)):
                break
            run.unheard = stop
            run.presses.append(None)
            run.bounds.append((boundary, stop))
            boundary = stop
            continue
        hit = listening.wait_for_loudness(capture, threshold, allowance + 14)
        if not hit:
            ctx.check(False, "%s: tone %d comes and grows to %d" % (run.label, number, threshold))
            break
        if index == 0:
            run.measuring_shot = ctx.shot("%s-measuring.png" % run.label)
        stop = None
        for attempt in range(3):
            press = capture.poll()
            presses.heard(number)
            stop = listening.wait_for_silence(capture, 0.1, 2.5)
            if stop is not None:
                break
            run.retries += 1
        run.attempts.append(attempt + 1)
        run.presses.append(press)
        if stop is None:
            ctx.check(False, "%s: tone %d ends when pressed" % (run.label, number))
            break
        run.bounds.append((boundary, stop))
        boundary = stop
    # After the last tone nothing more may come (the longest pause and more).
    run.trailing = listening.sound_within(capture, allowance + 0.7)
    run.end_frame = capture.poll()
    run.idle_shot = ctx.shot("%s-idle.png" % run.label)
    run.tones = [analysis.tone_between(capture.recording, begin, stop)
                 for begin, stop in run.bounds]
    run.pairs = [(tone, press) for tone, press in zip(run.tones, run.presses) if tone]


def check_dropouts(ctx, run, tones):
    stalls = ctx.stall_watch.stalls() + ctx.stall_watch.holds() if ctx.stall_watch else []
    broken, machines = [], []
    for t in tones:
        machine, program = stalls_module.split_dropouts(t.dropouts, run.capture.time_of, stalls,
                                                        analysis.RATE, ctx.kind.underrun_room)
        machines += ["%.0f Hz: %.1f ms at %.2f s" % (t.frequency or 0, length * 1000 /
                                                     analysis.RATE, first / analysis.RATE)
                     for first, length in machine]
        if program:
            broken.append("%.0f Hz: %d, longest %.1f ms at %.2f s" % (
                t.frequency or 0, len(program), max(length for _, length in program) * 1000 /
                analysis.RATE, program[0][0] / analysis.RATE))
    ctx.check(not broken, "%s: every tone plays without a dropout (a %.0f ms block below half the "
              "one before)%s" % (run.label, analysis.DROPOUT_BLOCK * 1000 / analysis.RATE,
                                 ", but %d while the machine's processors were held" % len(machines)
                                 if machines else ""), "; ".join(broken))
    ctx.report.note("%s: dropouts per tone %s; longest %.1f ms" % (
        run.label, " ".join(str(len(t.dropouts)) for t in tones),
        max(t.longest_dropout_ms() for t in tones)))
    if machines:
        ctx.report.note("%s: dropouts within stalls of the machine or holds of a processor: %s" % (
            run.label, "; ".join(machines)))


def check_run(ctx, session, run, shapes=True):
    """What a run played and how it answered; `shapes` adds the tones' frequencies, rise and
    pauses (the runs by keyboard and screen reader leave those to b and c: a hole that a loaded
    machine cuts into a short quiet tone would fail them for nothing the keys changed)."""
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
    if not tones:
        return
    # Every tone plays without a break: a dropout is what a listener hears as a click or a gap.
    # A gap while the machine or the processor stood still is the test machine's (stalls.py);
    # it is named, and every other one fails.
    check_dropouts(ctx, run, tones)
    if ctx.kind.underrun_room:
        ctx.report.note("%s: underflows of Wine's stream in the program's log so far: %d" % (
            label, session.program.log_text("latin-1").count(": Underflow")))
    ear = "left" if run.channel == 0 else "right"
    wrong = ["%.0f Hz in the %s channel" % (t.frequency or 0, "left" if t.channel == 0 else "right")
             for t in tones if t.channel != run.channel]
    leaking = ["%.0f Hz: other channel up to %d" % (t.frequency or 0, t.other_peak)
               for t in tones if t.other_peak != 0]
    report(not wrong and not leaking,
           "%s: every tone in the %s channel only, the other channel silent" % (label, ear),
           "; ".join(wrong + leaking))
    if shapes:
        check_tone_shapes(ctx, run, tones)
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


def check_tone_shapes(ctx, run, tones):
    """The frequencies, the rise and the pauses of a run's tones."""
    label = run.label
    report = ctx.check
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
    # Over the whole tone, span by span: a tone played too fast or too slow for a while (a
    # resampler catching up, frames dropped or doubled) shows in a span of its own.
    drifting, worst = [], 0.0
    for tone in tones:
        if tone.frequency is None:
            continue
        nearest, _ = analysis.nearest_table_frequency(tone.frequency, TABLE)
        # A span with a dropout in it is judged by the dropout check, not here. The first and
        # the last span are only noted: a short span where the tone rises out of the noise or
        # is cut by the press measured up to 1.7 % off in tones whose every other span kept
        # within 0.01 %.
        whole = [f for begin, stop, f in tone.frequencies[1:-1]
                 if not any(begin < frame + length and frame < stop
                            for frame, length in tone.dropouts)]
        edges = [f for _, _, f in tone.frequencies[:1] + tone.frequencies[-1:]]
        spans = [abs(f - nearest) / nearest for f in whole]
        worst = max([worst] + spans)
        if spans and max(spans) > FREQUENCY_TOLERANCE:
            drifting.append("%d Hz: %s" % (nearest, " ".join("%.2f" % f for f in whole)))
        if any(abs(f - nearest) / nearest > FREQUENCY_TOLERANCE for f in edges):
            ctx.report.note("%s: %d Hz: first and last span %s" % (
                label, nearest, " ".join("%.2f" % f for f in edges)))
    title = "%s: every tone keeps its frequency within %.1f %% over its whole length (its " \
        "first and last span noted)" % (label, FREQUENCY_TOLERANCE * 100)
    if ctx.kind.judges_frequency_spans:
        report(not drifting, title, "; ".join(drifting))
    elif drifting:
        ctx.report.note("%s: not judged under Wine: %s" % (title, "; ".join(drifting)))
    ctx.report.note("%s: largest deviation of a span's frequency %.3f %%" % (label, worst * 100))
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
    report(None not in pauses and longest <= LONGEST_PAUSE + ctx.kind.device_start,
           "%s: each tone after a pause of at most 3.3 s" % label,
           "pauses %s s; %.1f s allowed for the device to start" %
           (", ".join("%.2f" % p if p is not None else "?" for p in pauses),
            ctx.kind.device_start))


def start_delays(run, log):
    """For each tone of a run: seconds from the trace's line for its first frames until the
    recording has the first of them (five buffers before the fitted origin: the device starts
    with four silent buffers and the first fill is silent too), or None."""
    handed = [float(t) for t in _STARTS.findall(log)]
    delays = []
    for tone in run.tones:
        before = [t for t in handed if tone and t <= run.capture.time_of(tone.start)]
        if not before or tone.origin is None:
            delays.append(None)
            continue
        delays.append(run.capture.time_of(tone.origin - 5 * analysis.WINDOW) - before[-1])
    return delays


def check_starts(ctx, session, run):
    """Each tone starts when its pause ends, and the sink never restarts its stream."""
    if not ctx.kind.traces_starts:
        return
    log = session.program.log_text("utf-8")
    delays = start_delays(run, log)
    allowed = START_DELAY + CAPTURE_CLOCK + (RECORDER_LAG if ctx.sound_server == "pipewire"
                                             else 0.0)
    shown = " ".join("?" if d is None else "%.0f" % (d * 1000) for d in delays)
    ctx.check(all(d is not None and d <= allowed for d in delays),
              "%s: every tone's first frame sounds within %.0f ms of its pause's end (%.0f ms "
              "allowed for the recording's clock and the recorder)"
              % (run.label, START_DELAY * 1000, (allowed - START_DELAY) * 1000),
              "start delays %s ms" % shown)
    ctx.report.note("%s: start delays %s ms" % (run.label, shown))
    begin, end = run.capture.time_of(run.start_frame), run.capture.time_of(run.end_frame)
    restarts = [float(t) for t, _ in _RESTARTS.findall(log) if begin <= float(t) <= end]
    ctx.check(not restarts, "%s: the sink never restarts its stream" % run.label,
              "restarted at %s s into the run" % ", ".join("%.2f" % (t - begin) for t in restarts))


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
        if not (-LAG_BUFFERS <= ahead <= LEAD_BUFFERS + holes):
            wrong.append("%d Hz: stored %d, captured %.1f at the press, %.1f buffers apart"
                         % (nearest, stored, heard, ahead))
    ctx.check(not wrong and len(notes) >= 9,
              "%s: each stored level agrees with the loudness captured at the press" % run.label,
              ("; ".join(wrong) + " | " if wrong else "") + "stored/captured (buffers ahead): "
              + ", ".join(notes))
