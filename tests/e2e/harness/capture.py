"""Recording what is played on the null sink, while the program plays it."""

import os
import subprocess
import time

import children
from analysis import Recording


class Capture:
    """parec on the sink's monitor, written to a file that is read back as it grows.

    Frame n of the recording was played about n / 44100 s after the capture began; the
    recording lags the sink by the capture's latency only (10 ms asked for).
    """

    def __init__(self, path, source="cap.monitor"):
        self.path = path
        self.recording = Recording()
        self._file = open(path, "wb")
        self._process = subprocess.Popen(
            ["parec", "-d", source, "--format=s16le", "--rate=44100", "--channels=2",
             "--latency-msec=10"], stdout=self._file, stderr=subprocess.DEVNULL)
        children.register(self._process.pid, "parec")
        self._reader = open(path, "rb")
        # The monotonic time of the recording's first frame: frames arrive after they were
        # played, so the earliest estimate from any read is the closest.
        self._first_frame_at = None

    @property
    def pid(self):
        return self._process.pid

    def poll(self):
        """Reads what the capture wrote since the last call; returns the number of frames."""
        data = self._reader.read()
        if data:
            self.recording.append_bytes(data)
            estimate = time.monotonic() - self.recording.frames / 44100
            if self._first_frame_at is None or estimate < self._first_frame_at:
                self._first_frame_at = estimate
        return self.recording.frames

    def time_of(self, frame):
        """When frame n of the recording was played, on the clock of time.monotonic()."""
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
