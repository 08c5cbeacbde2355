"""Stalls of the whole machine, from the stall watcher (tests/e2e/stall/StallWatch.cpp).

A virtual machine whose host holds all of its processors for a moment (a CPU quota spent: seen
for up to 100 ms at a time on the test machines) runs nothing meanwhile, and the null sink, whose
clock goes on, then plays at once whatever the sound server held for the program and silence
after it. Such a gap is the test machine's, not the program's: the watcher's threads at the
highest real-time priority, one on each processor, were all late over the same span.

The host also holds one processor alone (about 100 ms, seen on each processor in turn): the
thread that ran on it, the sound thread of Wine, say, stands still meanwhile and cannot move to
the other processor. The watcher reports such holds from 30 ms on, longer than what makes a
dropout only when what the server keeps for the program runs out.

A dropout counts as the machine's only if it lies within a stall or a hold and is no longer than
it; every other dropout is the program's.

Wine's sound driver answers an underrun of its stream with silence of its own: once the server
has told it of the underrun, it writes silence for the room the server offers beyond what it
still holds, then the program's frames again. So a dropout that a held processor caused under
Wine is followed, within the server's room, by a second one that Wine wrote (seen in a clean-clone
run: 15 ms within a hold, then 20 ms 60 ms later). For Wine such a follower counts as the
machine's too, if it begins within the server's room after a dropout that is the machine's and is
no longer than that room; one that follows the program's own dropout stays the program's.
"""

import os
import subprocess

import children

# How far a dropout's place in the recording may lie from a stall: the capture's frames are
# placed in time from when they arrived, which the capture's own latency blurs.
SLACK_SECONDS = 0.04


class StallWatch:
    def __init__(self, program, path):
        self.path = path
        self._file = open(path, "w")
        self._process = None
        if program and os.path.exists(program):
            self._process = subprocess.Popen([program], stdout=self._file,
                                             stderr=subprocess.STDOUT)
            children.register(self._process.pid, os.path.basename(program))

    @property
    def running(self):
        return self._process is not None

    def _spans(self, count):
        if not self._file.closed:
            self._file.flush()
        found = []
        with open(self.path) as lines:
            for line in lines:
                fields = line.split()
                if len(fields) == count and not line.startswith("#"):
                    found.append((float(fields[-2]), float(fields[-1]) / 1000))
        return found

    def stalls(self):
        """(start, seconds) of each stall of the whole machine reported so far; start on the
        clock of time.monotonic()."""
        return self._spans(2)

    def holds(self):
        """(start, seconds) of each hold of a single processor reported so far."""
        return self._spans(3)

    def stop(self):
        if self._process and self._process.poll() is None:
            self._process.terminate()
            self._process.wait(5)
        self._file.close()


def split_dropouts(dropouts, time_of, stalls, rate, underrun_room=0.0):
    """Divides (first frame, length) dropouts of one tone, in order, into the machine's (inside
    a stall of the whole machine or a hold of a processor, and no longer than it) and the
    program's; time_of(frame) places a frame of the recording on the clock of the stalls.
    `underrun_room`: the seconds the server keeps for a sound driver that answers an underrun
    with silence (Wine); a dropout that begins within them after the machine's and is no longer
    counts as the machine's too."""
    machine, program = [], []
    after_machine = None  # the end of the last dropout, if it was the machine's
    for first, length in dropouts:
        begins = time_of(first)
        seconds = length / rate
        inside = [(start, span) for start, span in stalls
                  if start - SLACK_SECONDS <= begins <= start + span + SLACK_SECONDS
                  and seconds <= span + SLACK_SECONDS]
        follows = after_machine is not None and seconds <= underrun_room and \
            (first - after_machine) / rate <= underrun_room + SLACK_SECONDS
        (machine if inside or follows else program).append((first, length))
        after_machine = first + length if inside or follows else None
    return machine, program
