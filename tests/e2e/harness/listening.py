"""Listening to the capture while the program plays: the ear of the person at the computer."""

import time

from analysis import WINDOW


def wait_for_loudness(capture, threshold, timeout, channel=None):
    """Waits until the last 1024 captured frames reach `threshold` in a channel (either channel
    when none is given). Returns (frame, channel, peak) at that moment, or None after timeout."""
    limit = time.monotonic() + timeout
    channels = (0, 1) if channel is None else (channel,)
    while time.monotonic() < limit:
        frames = capture.poll()
        for index in channels:
            peak = capture.recording.peak(index, frames - WINDOW, frames)
            if peak >= threshold:
                return frames, index, peak
        time.sleep(0.01)
    return None


def wait_for_silence(capture, quiet_seconds, timeout):
    """Waits until both channels have been silent for quiet_seconds. Returns the frame where the
    silence began, or None after timeout seconds."""
    quiet = int(quiet_seconds * 44100)
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        frames = capture.poll()
        recording = capture.recording
        if frames >= quiet and not recording.peak(0, frames - quiet, frames) \
                and not recording.peak(1, frames - quiet, frames):
            begin = frames - quiet
            while begin > 0 and not (recording.left[begin - 1] or recording.right[begin - 1]):
                begin -= 1
            return begin
        time.sleep(0.02)
    return None


def sound_within(capture, seconds):
    """Listens for `seconds`; returns the first frame with any sound, or None if all was quiet."""
    start = capture.poll()
    time.sleep(seconds)
    frames = capture.poll()
    recording = capture.recording
    for frame in range(start, frames):
        if recording.left[frame] or recording.right[frame]:
            return frame
    return None
