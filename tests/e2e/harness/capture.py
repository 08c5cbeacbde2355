"""Recording what is played on the null sink, while the program plays it."""

import bisect
import os
import subprocess
import time

import children
from analysis import Recording


def recorder_command(latency, sink):
    """parec on the sink's monitor, raw 16-bit stereo at 44100 Hz, asking for `latency` ms
    ("default": asking for none, so the server's 2 s hold the recording 1.7 s back, too late to
    answer a tone by it).

    PulseAudio's null sink takes 10 ms without a change in the program's stream. On PipeWire a
    recorder's latency is a request for the graph's quantum, which the smallest request of all
    streams sets: 10 ms (run.sh's default) paces the program's stream by the recorder, as on no
    listener's desktop; 100 ms (pw-record's default) lies above the largest quantum PipeWire
    allows (2048 frames, 43 ms), so the program's own stream sets the pace, as with no recorder.
    """
    command = ["parec", "-d", sink + ".monitor", "--format=s16le", "--rate=44100",
               "--channels=2"]
    if latency != "default":
        command.append("--latency-msec=%s" % latency)
    return command


class Capture:
    """A recorder on the sink's monitor (recorder_command, its latency from
    TONOLOT_E2E_RECORD_LATENCY, which run.sh sets), written to a file that is read back as it
    grows.

    Frame n of the recording was played about n / 44100 s after the capture began; the
    recording lags the sink by the recorder's latency only.
    """

    def __init__(self, path, sink="cap"):
        self.path = path
        self.recording = Recording()
        self._file = open(path, "wb")
        latency = os.environ.get("TONOLOT_E2E_RECORD_LATENCY", "10")
        self._process = subprocess.Popen(recorder_command(latency, sink), stdout=self._file,
                                         stderr=subprocess.DEVNULL)
        children.register(self._process.pid, "parec")
        self._reader = open(path, "rb")
        # The monotonic time of the recording's first frame: frames arrive after they were
        # played, so the earliest estimate from any read is the closest.
        self._first_frame_at = None
        # (frames, time) after each read that brought frames: a recording of PipeWire's null
        # sink lost up to 0.4 s a minute while the host held a processor, so a frame's time is
        # reckoned from the reads soon after it.
        self._arrivals = []

    @property
    def pid(self):
        return self._process.pid

    def poll(self):
        """Reads what the capture wrote since the last call; returns the number of frames."""
        data = self._reader.read()
        if data:
            self.recording.append_bytes(data)
            now = time.monotonic()
            self._arrivals.append((self.recording.frames, now))
            estimate = now - self.recording.frames / 44100
            if self._first_frame_at is None or estimate < self._first_frame_at:
                self._first_frame_at = estimate
        return self.recording.frames

    def time_of(self, frame):
        """When frame n of the recording was played, on the clock of time.monotonic(): the
        earliest estimate from the reads within a second of frames after it."""
        first = bisect.bisect_left(self._arrivals, (frame, 0.0))
        last = bisect.bisect_right(self._arrivals, (frame + 44100, float("inf")))
        estimates = [at - (frames - frame) / 44100 for frames, at in self._arrivals[first:last]]
        if estimates:
            return min(estimates)
        return (self._first_frame_at or 0.0) + frame / 44100

    def wait_until_running(self, timeout=5.0):
        """True once the capture delivers frames."""
        limit = time.monotonic() + timeout
        while time.monotonic() < limit:
            if self.poll() > 4410:
                return True
            time.sleep(0.05)
        return False

    def stop(self):
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._file.close()
        self.poll()
        self._reader.close()

    def size(self):
        return os.path.getsize(self.path)
