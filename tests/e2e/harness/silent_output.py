"""Scenario m: a muted output, or one at 0 % (native program; Wine's endpoint does not report the
sound server's mute, see src/audio/win32/EndpointVolumeCalls.h).

Muted, or at 0 %, before the start: a box, no run, the buttons at the start. Muted mid-tone: a
box within a second, the run ended. The sink's monitor records after the mute, so the sink is
unmuted before listening whether anything still plays. Unmuted, a run plays.
"""

import os
import subprocess
import time

import desktop
import listening
from capture import Capture
from ear_runs import LONGEST_PAUSE
from session import BOX_NAME, Session

BEFORE = ("Die Tonausgabe ist stumm geschaltet oder auf 0 % gestellt. Bitte stellen Sie die "
          "Lautst\u00e4rke ein und starten Sie die Messung erneut.")
DURING = "Die Tonausgabe wurde stumm geschaltet oder auf 0 % gestellt. Der Test wurde angehalten."
MUTE, UNMUTE = ("set-sink-mute", "@DEFAULT_SINK@", "1"), ("set-sink-mute", "@DEFAULT_SINK@", "0")


def sink(setting):
    subprocess.run(["pactl"] + list(setting), check=True, capture_output=True, timeout=10)


def box_and_idle(ctx, session, label, text, within, sound):
    """The box within `within` s, closed; the sink sounds again; the buttons at the start."""
    began = time.monotonic()
    box = desktop.wait_for_window(BOX_NAME, within + 10)
    took = time.monotonic() - began
    sink(sound)
    texts = session.program.message_boxes()
    ctx.check(box and took <= within and texts and texts[-1].startswith(text),
              "m: %s: within %.0f s a box says so" % (label, within),
              "after %.1f s: %r" % (took, texts[-1:]))
    if box:
        x, y, _, _ = desktop.geometry(box)
        desktop.click(x + 8, y + 8)
        desktop.key("Return")
        desktop.wait_until_gone(box, 10)
    time.sleep(0.3)
    image = ctx.shot("m-%s.png" % label.replace(" ", "-"))
    ctx.check(not session.enabled(image, "heard") and session.enabled(image, "start_left"),
              "m: %s: the buttons are at the start" % label)


def scenario_m(ctx):
    if ctx.kind.name != "the native program":
        ctx.report.note("m: Wine's endpoint does not report the sound server's mute; native only")
        return
    folder = ctx.folder("m")
    session = Session(ctx, folder, "program-mute.log")
    capture = None
    allowance = LONGEST_PAUSE + ctx.kind.device_start
    try:
        if not ctx.check(session.wait_for_dialog(), "m: the program starts"):
            return
        capture = Capture(os.path.join(folder, "capture.raw"))
        if not ctx.check(capture.wait_until_running(), "m: the capture of the null sink runs"):
            return
        for label, silence, sound in (
                ("muted before the start", MUTE, UNMUTE),
                ("volume 0 before the start", ("set-sink-volume", "@DEFAULT_SINK@", "0%"),
                 ("set-sink-volume", "@DEFAULT_SINK@", "100%"))):
            sink(silence)
            session.click("start_left")
            box_and_idle(ctx, session, label, BEFORE, 3, sound)
            ctx.check(listening.sound_within(capture, allowance + 0.7) is None,
                      "m: %s: no run was started (nothing plays once the sink sounds)" % label)

        session.click("start_left")
        if not ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                         "m: the left run's first tone plays"):
            return
        sink(MUTE)  # the watch asks every 20 ms; a second leaves room for a busy machine
        box_and_idle(ctx, session, "muted mid-tone", DURING, 1.0, UNMUTE)
        ctx.check(listening.sound_within(capture, 1.0) is None,
                  "m: muted mid-tone: the tone has stopped (nothing plays once unmuted)")

        session.click("start_left")
        ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                  "m: unmuted, \"Start links\" plays a tone")
    finally:
        sink(UNMUTE)
        sink(("set-sink-volume", "@DEFAULT_SINK@", "100%"))
        if capture:
            capture.stop()
        session.end()
