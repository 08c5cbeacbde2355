"""Scenario i: the sound server stops answering in the middle of a tone.

The test's own PulseAudio is stopped with SIGSTOP while a tone plays. The program says within a
few seconds that the sound output does not answer and that the test was stopped, its buttons go
back to the start, nothing of the run is drawn, and its window still answers (the chart's menu
opens) while the server stays stopped. Once the server goes on (SIGCONT), the next "Start links"
plays a tone. Closing the window during a fresh stop ends the program within seconds, and the
data file is written at the close.
"""

import os
import signal
import time

import chart
import datafile
import desktop
import listening
from capture import Capture
from ear_runs import LONGEST_PAUSE
from session import BOX_NAME, Session, read_file

STALLED = "Die Tonausgabe antwortet nicht. Der Test wurde angehalten."
RECORD = datafile.Record(b"Ina Ohr", [30 + i for i in range(10)], [35 + i for i in range(10)])
# Seconds from the stop to the box: two without progress, one for the device's close, and room.
BOX_WITHIN = 8
# Seconds from the click on "Schließen" until the program has ended.
CLOSED_WITHIN = 2
# Under Wine every close takes 2 s more on the test's display, hang or not: DestroyWindow takes
# 2.0 s there (measured in a normal close), Wine's X11 driver waiting for a window manager that
# the display does not have. With one (TONOLOT_E2E_WM) the 2 s hold for Wine too.
WINE_WITHDRAW_WAIT = 0 if os.environ.get("TONOLOT_E2E_WM") else 2


def chart_menu_opens(item):
    before = desktop.visible_windows()
    desktop.run("xdotool", "mousemove", str((item[0] + item[2]) // 2),
                str((item[1] + item[3]) // 2), "sleep", "0.05", "click", "3")
    menu = desktop.wait_for_new_window(before, 3)
    if menu:
        desktop.key("Escape")
        desktop.wait_until_gone(menu, 5)
    return menu is not None


def scenario_i(ctx):
    if not ctx.check(ctx.pulse_pid, "i: the pid of the test's own sound server is known"):
        return
    folder = ctx.folder("i")
    path = os.path.join(folder, "tonolot.def")
    original = datafile.FALLBACK + b"\r\n" + datafile.line_of(RECORD)
    with open(path, "wb") as data:
        data.write(original)
    written = os.stat(path).st_mtime_ns
    session = Session(ctx, folder, "program-hang.log")
    capture = None
    stopped = False
    allowance = LONGEST_PAUSE + ctx.kind.device_start
    try:
        if not ctx.check(session.wait_for_dialog(), "i: the program starts"):
            return
        capture = Capture(os.path.join(folder, "capture.raw"))
        if not ctx.check(capture.wait_until_running(), "i: the capture of the null sink runs"):
            return
        session.click("start_left")
        if not ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                         "i: the left run's first tone plays"):
            return

        os.kill(ctx.pulse_pid, signal.SIGSTOP)
        stopped = True
        began = time.monotonic()
        box = desktop.wait_for_window(BOX_NAME, BOX_WITHIN + 10)
        took = time.monotonic() - began
        texts = session.program.message_boxes()
        ctx.check(box and took <= BOX_WITHIN and texts and texts[-1].startswith(STALLED),
                  "i: with the sound server stopped mid-tone, a box says within %d s that the "
                  "sound output does not answer and the test was stopped" % BOX_WITHIN,
                  "after %.1f s: %r" % (took, texts))
        if not box:
            return
        ctx.shot("i-stalled-box.png")
        x, y, _, _ = desktop.geometry(box)
        desktop.click(x + 8, y + 8)
        desktop.key("Return")
        desktop.wait_until_gone(box, 10)
        time.sleep(0.5)
        image = ctx.shot("i-stalled-idle.png")
        item = session.layout.rect("chart")
        red = image.count(item, lambda pixel: pixel == chart.RED)
        ctx.check(not session.enabled(image, "heard") and session.enabled(image, "start_left")
                  and red == 0,
                  "i: the buttons are back at the start and nothing of the run is drawn",
                  "%d red pixels in the chart" % red)
        ctx.check(chart_menu_opens(item),
                  "i: the window still answers while the server stays stopped (the chart's menu "
                  "opens)")

        os.kill(ctx.pulse_pid, signal.SIGCONT)
        stopped = False
        time.sleep(2.0)  # the device's thread leaves the server and closes its stream
        session.click("start_left")
        ctx.check(listening.wait_for_loudness(capture, 20, allowance + 14),
                  "i: once the server answers again, \"Start links\" plays a tone",
                  "boxes %r" % session.program.message_boxes())

        os.kill(ctx.pulse_pid, signal.SIGSTOP)
        stopped = True
        time.sleep(0.5)
        began = time.monotonic()
        session.click("close")
        code = session.program.wait_exit(CLOSED_WITHIN + WINE_WITHDRAW_WAIT + 20)
        took = time.monotonic() - began
        native = type(ctx.kind).__name__ == "NativeKind"
        ended_within = CLOSED_WITHIN + (0 if native else WINE_WITHDRAW_WAIT)
        ctx.check(code is not None and took <= ended_within and (code == 0 or not native),
                  "i: closing during a fresh stop ends the program within %d s" % ended_within,
                  "exit code %s after %.1f s" % (code, took))
        if not native and code != 0:
            # Wine 8 crashes (SIGSEGV) as it ends the threads still waiting inside its hung sound
            # driver, its own timer thread among them: the thread's abort leaves the stack frame
            # where the C library's cleanup record of that wait lies, and the record is run from
            # there all the same. Every way a Windows program ends goes through that abort, and
            # everything was saved by then.
            ctx.report.note("i: under Wine the program ended with code %s (a thread was still "
                            "inside Wine's hung sound driver)" % code)
        ctx.check(read_file(path) == original and os.stat(path).st_mtime_ns != written,
                  "i: the data file is written at the close and holds what was stored")
    finally:
        if stopped:
            os.kill(ctx.pulse_pid, signal.SIGCONT)
        if capture:
            capture.stop()
        session.end()
