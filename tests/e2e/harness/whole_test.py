"""A whole two-ear test without the mouse (scenarios k and s): both runs answered from the
recording, and the record the program then stores, judged as the mouse-driven one is."""

import os
import subprocess

import datafile
from capture import Capture
from ear_runs import (QUICK_LEFT_THRESHOLDS, QUICK_RIGHT_THRESHOLDS, EarRun, check_run,
                      check_stored_levels, ear_run)
from session import read_file


def listen(ctx, label):
    """A capture of the sink of the scenario's own, or None (reported) if it does not run."""
    capture = Capture(os.path.join(ctx.artifacts, "%s-capture.raw" % label))
    if ctx.check(capture.wait_until_running(), "%s: the capture of the null sink runs" % label):
        return capture
    capture.stop()
    return None


def keep(capture):
    """Stops a scenario's capture and keeps it as FLAC, for a person to listen to."""
    capture.stop()
    flac = capture.path[:-len(".raw")] + ".flac"
    subprocess.run(["sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2",
                    capture.path, flac], capture_output=True)
    if os.path.exists(flac):
        os.remove(capture.path)


def both_ears(ctx, session, label, presses, capture):
    """The left run, then the right one, each started and answered through `presses`; returns
    the runs done (only the left one when it broke off)."""
    left = EarRun("%s-left" % label, 0, QUICK_LEFT_THRESHOLDS)
    ear_run(ctx, session, left, "start_left", presses, capture)
    check_run(ctx, session, left, shapes=False)
    if len(left.presses) != 10:
        return [left]
    right = EarRun("%s-right" % label, 1, QUICK_RIGHT_THRESHOLDS)
    ear_run(ctx, session, right, "start_right", presses, capture)
    check_run(ctx, session, right, shapes=False)
    return [left, right]


def check_stored_record(ctx, label, session, name, runs):
    """The data file after the program ended: the standard and one record under `name`, whose
    levels agree with the loudness captured at each press. Returns the record or None."""
    content = read_file(session.data_path)
    records, problem = datafile.parse(content or b"")
    if not ctx.check(records is not None and len(records) == 2,
                     "%s: the data file holds the standard and one record" % label,
                     problem or "%d records" % len(records)):
        return None
    stored = records[1]
    ctx.check(datafile.line_of(records[0]) == datafile.FALLBACK
              and stored.name == name.encode("cp1252"),
              "%s: the record carries the name given, after the standard" % label,
              repr(stored.name))
    left, right = runs
    check_stored_levels(ctx, left, stored.left)
    check_stored_levels(ctx, right, stored.right)
    return stored
