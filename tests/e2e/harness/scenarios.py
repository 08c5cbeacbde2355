"""End-to-end scenarios of Tonolot (tonolot.exe under Wine or the native program), driven as a
new user would drive it.

a. Fresh start without a data file; closing writes the fallback record.
b. A left run, every tone heard soon after it becomes audible in the recording.
c. A right run in which one tone is left unheard until the program presses by itself.
d. Storing the measurement under a typed name; the data file; a restart lists the record, and
   choosing it with "Vergleich" ticked names it in the check box.
e. Start-up without any sound server: the error box, then the dialog.
f. The chart after both runs: red and blue curves where the stored levels put them.
g. The chart saved as a PNG picture from its context menu (picture.py).
q. The report printed from the chart's context menu, natively into a PDF file (printed_report.py).
p. An installed program, run where it was installed (installed.py; with --installed only).
h. A box during a run holds the tone; the run resumes with it afterwards (held_run.py).
i. The sound server stops answering mid-tone: a box, a window that answers, a quick close
   (hung_server.py).
m. A muted output, or one at 0 %: no run, or the run ends, with a box (silent_output.py; native
   program).
k. The whole test by keyboard only (keyboard.py).
r. "Übernehmen" means stored: killed, SIGTERM or the session's end after a store, and two copies
   on one file (lasting.py).
s. The whole test through the accessibility tree only, native program (screen_reader.py).
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

import chart
import children
import desktop
from capture import Capture
from ear_runs import (LEFT_THRESHOLDS, RIGHT_THRESHOLDS, EarRun, check_run, check_starts,
                      check_stored_levels, check_unheard, ear_run)
from installed import scenario_p
from held_run import scenario_h
from hung_server import scenario_i
from keyboard import scenario_k
from lasting import scenario_r
from picture import scenario_g
from printed_report import scenario_q
from report import check_harness, fail_on_exception
from screen_reader import scenario_s
from silent_output import scenario_m
from session import Context, Session
from stalls import StallWatch
from start_up import scenario_a, scenario_e
from storing import scenario_d, scenario_d_restart


def runs_and_storing(ctx):
    """b, c and d: both runs in one session, the store, and a restart of the program."""
    # After a, the program's own folder with the fallback record; without a, a fresh one (never
    # the data file of an earlier run into the same artifact folder).
    folder = ctx.folder("a", fresh="a" not in ctx.chosen
                        or not os.path.exists(os.path.join(ctx.artifacts, "a")))
    session = Session(ctx, folder, "program-runs.log",
                      {"TONOLOT_TRACE_AUDIO": "1"} if ctx.kind.traces_starts else None)
    saved = None
    try:
        with fail_on_exception(ctx.report, "b: left run"):
            if not ctx.check(session.wait_for_dialog(), "b: the program starts with its data file"):
                return
            # The recording begins once the program is up: a user's sound server has no one
            # listening to the sink either when the program opens its device.
            ctx.capture = Capture(os.path.join(ctx.artifacts, "capture.raw"))
            if not ctx.check(ctx.capture.wait_until_running(), "the capture of the null sink runs"):
                return
            ctx.chart_rect = session.layout.rect("chart")
            ctx.runs["b"] = EarRun("b", 0, LEFT_THRESHOLDS)
            ear_run(ctx, session, ctx.runs["b"], "start_left")
            check_run(ctx, session, ctx.runs["b"])
            check_starts(ctx, session, ctx.runs["b"])
        with fail_on_exception(ctx.report, "c: right run"):
            ctx.runs["c"] = EarRun("c", 1, RIGHT_THRESHOLDS)
            ear_run(ctx, session, ctx.runs["c"], "start_right")
            check_run(ctx, session, ctx.runs["c"])
            check_starts(ctx, session, ctx.runs["c"])
            check_unheard(ctx, ctx.runs["c"])
            # The chart after both runs, kept for f.
            ctx.chart_shot = os.path.join(ctx.artifacts, "f-chart.png")
            shutil.copy(ctx.runs["c"].idle_shot.path, ctx.chart_shot)
        if "d" not in ctx.chosen:
            return
        with fail_on_exception(ctx.report, "d: storing"):
            saved = scenario_d(ctx, session)
        if ctx.stored:
            with fail_on_exception(ctx.report, "b, c: stored levels"):
                check_stored_levels(ctx, ctx.runs["b"], ctx.stored.left)
                check_stored_levels(ctx, ctx.runs["c"], ctx.stored.right)
                unheard = [level for level in ctx.stored.right if level > 30001]
                ctx.check(len(unheard) == 1 and unheard[0] <= 30050,
                          "c: the unheard tone is stored above 30001",
                          "right levels %s" % ctx.stored.right)
    finally:
        session.end()
    if saved is not None:
        with fail_on_exception(ctx.report, "d: restart"):
            scenario_d_restart(ctx, folder, saved)


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
    parser.add_argument("program", help="tonolot.exe or the native tonolot")
    parser.add_argument("artifacts")
    parser.add_argument("--silent-runtime-dir", required=True)
    parser.add_argument("--pid-file")
    parser.add_argument("--pulse-pid", type=int, default=0,
                        help="the process serving the pulse protocol the program talks to "
                        "(pulseaudio, or pipewire-pulse under PipeWire)")
    parser.add_argument("--sound-server", default="pulseaudio", choices=("pulseaudio", "pipewire"))
    parser.add_argument("--server-pids", default="",
                        help="every process of the sound server as pid=name, comma separated")
    parser.add_argument("--scenarios", default="abcdefghikmqrs",
                        help="letters of the scenarios to run, for working on some of them; "
                        "b and c go together, d and f need them")
    parser.add_argument("--stall-watch", default="",
                        help="the stall watcher (tests/e2e/stall), to tell stalls of the whole "
                        "machine from the program's dropouts")
    parser.add_argument("--installed", action="store_true",
                        help="the program was installed: run it in place, its data file where "
                        "it keeps it by itself")
    arguments = parser.parse_args()
    children.set_pid_file(arguments.pid_file)
    os.makedirs(arguments.artifacts, exist_ok=True)
    ctx = Context(arguments)
    chosen = arguments.scenarios
    started = time.monotonic()
    check_harness(ctx.report)
    ctx.stall_watch = StallWatch(arguments.stall_watch, os.path.join(arguments.artifacts,
                                                                     "stalls.txt"))
    if not ctx.stall_watch.running:
        ctx.report.note("no stall watcher: every dropout counts as the program's")
    try:
        if "p" in chosen:
            with fail_on_exception(ctx.report, "p: installed program"):
                scenario_p(ctx)
        if "a" in chosen:
            with fail_on_exception(ctx.report, "a: fresh start"):
                scenario_a(ctx)
        if set(chosen) & set("bcdf"):
            runs_and_storing(ctx)
    finally:
        if ctx.capture:
            ctx.capture.stop()
    if ctx.capture:
        keep_recording(ctx)
    # These need the sound server that e stops; each notes how long it took.
    for letter, scenario, name in (("k", scenario_k, "k: keyboard"),
                                   ("s", scenario_s, "s: screen reader"),
                                   ("g", scenario_g, "g: picture"),
                                   ("q", scenario_q, "q: printed report"),
                                   ("h", scenario_h, "h: a box during a run"),
                                   ("i", scenario_i, "i: a hung sound server"),
                                   ("r", scenario_r, "r: stored means on disk"),
                                   ("m", scenario_m, "m: a muted output")):
        if letter in chosen:
            began = time.monotonic()
            with fail_on_exception(ctx.report, name):
                scenario(ctx)
            ctx.report.note("%s took %.0f s" % (letter, time.monotonic() - began))
    if "e" in chosen:
        with fail_on_exception(ctx.report, "e: no sound server"):
            scenario_e(ctx)
    if set(chosen) & set("df"):
        with fail_on_exception(ctx.report, "f: chart"):
            scenario_f(ctx)
    ctx.stall_watch.stop()
    stalls = ctx.stall_watch.stalls()
    holds = ctx.stall_watch.holds()
    ctx.report.note("stalls of the whole machine: %d, longest %.0f ms; holds of one processor: "
                    "%d, longest %.0f ms" % (
                        len(stalls), max((span for _, span in stalls), default=0) * 1000,
                        len(holds), max((span for _, span in holds), default=0) * 1000))
    ctx.report.note("took %.0f s" % (time.monotonic() - started))
    sys.exit(ctx.report.summary())


if __name__ == "__main__":
    main()
