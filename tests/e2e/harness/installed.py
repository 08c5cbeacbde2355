"""Scenario p: the installed program (from the Debian package or the Windows installer), started
where it was installed: its window appears, "Start links" plays a tone into the left ear, and
closing writes the fallback record where an installed program keeps its data file (natively
under the data home, under Wine beside the program), and nothing else beside the program."""

import os

import datafile
import listening
from capture import Capture
from ear_runs import LONGEST_PAUSE
from session import Session, read_file


def scenario_p(ctx):
    folder = ctx.folder("p")
    program_folder = os.path.dirname(ctx.kind.path)
    before = set(os.listdir(program_folder))
    session = Session(ctx, folder, "program.log")
    capture = None
    try:
        if not ctx.check(session.wait_for_dialog(),
                         "p: the installed program's dialog \"Tonolot 0.8\" appears"):
            return
        ctx.check(not session.program.message_boxes(), "p: no message box at start-up",
                  repr(session.program.message_boxes()))
        capture = Capture(os.path.join(folder, "capture.raw"))
        if not ctx.check(capture.wait_until_running(), "p: the capture of the null sink runs"):
            return
        start = capture.poll()
        session.click("start_left")
        hit = listening.wait_for_loudness(capture, 100,
                                          LONGEST_PAUSE + ctx.kind.device_start + 14)
        right = capture.recording.peak(1, start, hit[0]) if hit else None
        ctx.check(hit is not None and hit[1] == 0 and right == 0,
                  "p: \"Start links\" plays a tone in the left channel only",
                  "heard %s, right channel peak %s" % (hit, right))
        ctx.shot("p-measuring.png")
        code = session.close()
        ctx.check(code == 0, "p: \"Schlie\u00dfen\" during the tone ends the program",
                  "exit code %s" % code)
        ctx.check(read_file(session.data_path) == datafile.FALLBACK,
                  "p: closing writes the fallback record to %s" % session.data_path)
        expected = {"tonolot.def"} if os.path.dirname(session.data_path) == program_folder \
            else set()
        added = set(os.listdir(program_folder)) - before
        ctx.check(added == expected, "p: nothing else is written beside the installed program",
                  "new there: %s" % sorted(added))
    finally:
        if capture:
            capture.stop()
        session.end()
