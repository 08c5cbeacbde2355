"""Scenario m: a muted output, or one at 0 % (native program).

With the default sink muted, "Start links" starts no run: a box says that the sound output is
muted or at 0 %, the buttons stay at the start, and after unmuting nothing plays. The same with
the sink's volume at 0 %. Muted in the middle of a tone, the program says within a second that
the test was stopped and its buttons go back; unmuted while the box is open, nothing plays.
After unmuting, "Start links" plays a tone. The sink's monitor records after the mute, so what
the program did while muted shows once it is unmuted.

Wine's endpoint does not report the sound server's mute or volume (see
src/audio/win32/EndpointVolumeCalls.h), so tonolot.exe runs as before and is left out.
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
# Seconds from the mute to the box: the watch asks every 20 ms, and room for a busy machine.
BOX_WITHIN = 1.0


def sink(*setting):
    subprocess.run(["pactl"] + list(setting), check=True, capture_output=True, timeout=10)


def box_says(ctx, session, label, text, within):
    """Waits for the box, checks its text, and closes it; the time it took, or None."""
    began = time.monotonic()
    box = desktop.wait_for_window(BOX_NAME, within + 10)
    took = time.monotonic() - began
    texts = session.program.message_boxes()
    ctx.check(box and took <= within and texts and texts[-1].startswith(text),
              "m: %s: within %.0f s a box says so" % (label, within),
              "after %.1f s: %r" % (took, texts[-1:]))
    if box:
        ctx.shot("m-%s-box.png" % label.replace(" ", "-"))
        x, y, _, _ = desktop.geometry(box)
        desktop.click(x + 8, y + 8)
        desktop.key("Return")
        desktop.wait_until_gone(box, 10)
    return box


def at_start(ctx, session, label):
    time.sleep(0.3)
    image = ctx.shot("m-%s-idle.png" % label.replace(" ", "-"))
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
                ("muted before the start", ("set-sink-mute", "@DEFAULT_SINK@", "1"),
                 ("set-sink-mute", "@DEFAULT_SINK@", "0")),
                ("volume 0 before the start", ("set-sink-volume", "@DEFAULT_SINK@", "0%"),
                 ("set-sink-volume", "@DEFAULT_SINK@", "100%"))):
            sink(*silence)
            try:
                session.click("start_left")
                box_says(ctx, session, label, BEFORE, 3)
                at_start(ctx, session, label)
            finally:
                sink(*sound)
            ctx.check(listening.sound_within(capture, allowance + 0.7) is None,
                      "m: %s: no run was started (nothing plays once the sink sounds)" % label)

        session.click("start_left")
        if not ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                         "m: the left run's first tone plays"):
            return
        sink("set-sink-mute", "@DEFAULT_SINK@", "1")
        try:
            box = box_says(ctx, session, "muted mid-tone", DURING, BOX_WITHIN)
        finally:
            sink("set-sink-mute", "@DEFAULT_SINK@", "0")
        ctx.check(listening.sound_within(capture, 1.0) is None,
                  "m: muted mid-tone: the tone has stopped (nothing plays once unmuted)")
        if box:
            at_start(ctx, session, "muted mid-tone")

        session.click("start_left")
        ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                  "m: unmuted, \"Start links\" plays a tone",
                  "%d boxes" % len(session.program.message_boxes()))
    finally:
        if capture:
            capture.stop()
        session.end()
