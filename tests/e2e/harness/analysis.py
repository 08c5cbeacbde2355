"""What the program played, read from a recording of the sound card's monitor.

The recording is 16-bit stereo at 44100 frames per second. A tone of the hearing test is a sine
in one channel whose amplitude starts below one sample unit and grows by a constant factor per
buffer of 1024 frames. Everything here works on plain integer sample arrays, so it can be checked
on made-up recordings as well as on real ones.
"""

import math
from array import array

RATE = 44100
BUFFER_FRAMES = 1024
GROWTH = 1.015
# Frames of each buffer the program hands to the device; the analysis windows use the same size.
WINDOW = BUFFER_FRAMES
# Blocks in which dropouts are looked for: 5 ms (220 frames). Each holds at least a third of a
# period of the lowest tone (70 Hz), so its peak reaches 0.89 of the amplitude; a block below half
# the one before is a dropout, not a zero crossing.
DROPOUT_BLOCK = 220
# Peaks below this are too coarse (truncated samples) to compare one block with the next.
DROPOUT_FLOOR = 8


class Recording:
    """Left and right samples of a capture, appended as the capture grows."""

    def __init__(self):
        self.left = array("h")
        self.right = array("h")
        self._rest = b""

    @property
    def frames(self):
        return len(self.left)

    def append_bytes(self, data):
        data = self._rest + data
        usable = len(data) // 4 * 4
        self._rest = data[usable:]
        both = array("h")
        both.frombytes(data[:usable])
        self.left.extend(both[0::2])
        self.right.extend(both[1::2])

    def channel(self, index):
        return self.left if index == 0 else self.right

    def peak(self, channel, start, end):
        start = max(0, start)
        end = min(self.frames, end)
        if end <= start:
            return 0
        samples = self.channel(channel)[start:end]
        return max(max(samples), -min(samples))


def peaks(samples, start, end, width=WINDOW):
    """Largest absolute sample of each window of `width` frames from start to end."""
    result = []
    for begin in range(start, end, width):
        chunk = samples[begin:min(begin + width, end)]
        result.append(max(max(chunk), -min(chunk)) if chunk else 0)
    return result


class Tone:
    """One tone in one channel, as found in a recording.

    A tone may come in pieces: when the player falls behind, the sink plays silence and the rest
    of the tone follows later. A piece continues the tone when it resumes at about the loudness
    where the tone broke off; a new tone always begins below a few sample units.
    """

    def __init__(self, channel, start, end):
        self.channel = channel  # 0 left, 1 right
        self.pieces = [(start, end)]  # first and one past the last non-zero frame of each piece
        self.other_peak = 0  # loudest sample of the other channel within the tone
        self.frequency = None
        self.frequencies = []  # (first frame, end, frequency) of each span of the tone, in order
        self.growth = None  # fitted amplitude factor per 1024 frames
        self.fits = []  # (start, end, ln amplitude at start, slope per frame) of each piece
        self.origin = None  # frame where the fitted amplitude is that of the first audible buffer
        self.first_peak = 0  # loudest sample in the tone's first 1024 frames
        self.final_peak = 0  # loudest sample in the tone's last 1024 frames
        self.dropouts = []  # (first frame, length in frames) of each dropout

    @property
    def start(self):
        return self.pieces[0][0]

    @property
    def end(self):
        return self.pieces[-1][1]

    @property
    def seconds(self):
        return (self.end - self.start) / RATE

    def gap_frames(self, before=None):
        """Frames of silence between the pieces, up to frame `before` if given."""
        total = 0
        for (_, stop), (begin, _) in zip(self.pieces, self.pieces[1:]):
            if before is None or begin <= before:
                total += begin - stop
        return total

    def amplitude_at(self, frame):
        """The fitted amplitude at a frame of the recording, from the piece that holds it (or
        the last piece before it)."""
        chosen = None
        for fit in self.fits:
            if fit[0] <= frame or chosen is None:
                chosen = fit
        if chosen is None:
            return None
        begin, _, base, slope = chosen
        return math.exp(base + slope * (frame - begin))

    def longest_dropout_ms(self):
        return max((length for _, length in self.dropouts), default=0) * 1000 / RATE

    def describe(self):
        return ("%s %.1f Hz from %.3f s for %.2f s in %d piece(s), growth %.5f per 1024 frames, "
                "other channel peak %d, %d dropout(s), longest %.1f ms"
                % ("left" if self.channel == 0 else "right", self.frequency or 0,
                   self.start / RATE, self.seconds, len(self.pieces), self.growth or 0,
                   self.other_peak, len(self.dropouts), self.longest_dropout_ms()))


def _stretches(recording, start, end, min_gap_seconds):
    """[first, one past last] non-zero frame of each run of sound, split where both channels
    stay silent for min_gap_seconds or more."""
    step = 256
    gap = int(min_gap_seconds * RATE)
    loud = []
    for begin in range(start, end, step):
        stop = min(begin + step, end)
        if recording.peak(0, begin, stop) or recording.peak(1, begin, stop):
            if loud and begin - loud[-1][1] < gap:
                loud[-1][1] = stop
            else:
                loud.append([begin, stop])
    return [_trim(recording, begin, stop) for begin, stop in loud]


def _make_tone(recording, pieces):
    left = max(recording.peak(0, begin, stop) for begin, stop in pieces)
    right = max(recording.peak(1, begin, stop) for begin, stop in pieces)
    tone = Tone(0 if left >= right else 1, *pieces[0])
    tone.pieces = list(pieces)
    tone.other_peak = right if tone.channel == 0 else left
    _measure(recording, tone)
    return tone


def tone_between(recording, start, end, min_gap_seconds=0.05):
    """All sound between two frames taken as one tone, or None if there is none. For stretches
    of a recording that the listener's own presses divide, one per tone."""
    pieces = _stretches(recording, start, end, min_gap_seconds)
    return _make_tone(recording, pieces) if pieces else None


def find_tones(recording, start=0, end=None, min_gap_seconds=0.05, min_seconds=0.1):
    """The tones of a recording, in order, found from the sound alone.

    Sound is cut into pieces where both channels stay silent for min_gap_seconds; a piece that
    resumes at half the loudness where the previous one stopped, or louder, in the same channel
    and within a second, continues that tone.
    """
    end = recording.frames if end is None else end
    groups = []
    for begin, stop in _stretches(recording, start, end, min_gap_seconds):
        left = recording.peak(0, begin, stop)
        right = recording.peak(1, begin, stop)
        channel = 0 if left >= right else 1
        first = recording.peak(channel, begin, begin + WINDOW)
        if groups:
            previous_channel, pieces = groups[-1]
            last_begin, last_end = pieces[-1]
            last = recording.peak(previous_channel, last_end - WINDOW, last_end)
            if (channel == previous_channel and begin - last_end < RATE
                    and first >= max(3, last / 2)):
                pieces.append((begin, stop))
                continue
        groups.append((channel, [(begin, stop)]))
    return [_make_tone(recording, pieces) for _, pieces in groups
            if pieces[-1][1] - pieces[0][0] >= min_seconds * RATE]


def _trim(recording, begin, stop):
    """Narrows a block-aligned stretch to its first and last non-zero frame."""
    while begin < stop and not (recording.left[begin] or recording.right[begin]):
        begin += 1
    while stop > begin and not (recording.left[stop - 1] or recording.right[stop - 1]):
        stop -= 1
    return begin, stop


def _measure(recording, tone):
    samples = recording.channel(tone.channel)
    tone.first_peak = recording.peak(tone.channel, tone.start, tone.start + WINDOW)
    tone.final_peak = recording.peak(tone.channel, tone.end - WINDOW, tone.end)
    tone.dropouts = dropouts(samples, tone.start, tone.end)
    # A silence between pieces is a dropout too, even while the tone is still too faint to
    # compare blocks.
    for (_, stop), (begin, _) in zip(tone.pieces, tone.pieces[1:]):
        if not any(frame <= begin and stop <= frame + length for frame, length in tone.dropouts):
            tone.dropouts.append((stop, begin - stop))
    tone.dropouts.sort()
    weighted = 0.0
    weight = 0
    estimates = []
    for begin, stop in tone.pieces:
        windows = peaks(samples, begin, stop)
        fit, count = fit_growth(windows, begin)
        if fit:
            tone.fits.append((begin, stop) + fit)
            weighted += fit[1] * count
            weight += count
        spans = frequency_estimates(samples, windows, begin, spans=True)
        tone.frequencies += spans
        estimates += [value for _, _, value in spans]
    if weight:
        tone.growth = math.exp(weighted / weight * WINDOW)
    # A first piece that does not rise (a buffer played again and again) gives no origin.
    if tone.fits and tone.fits[0][3] > 0:
        begin, _, base, slope = tone.fits[0]
        # The first buffer that can sound plays at 0.9 * 1.015; extrapolate the fit back to it.
        # A piece too quiet to fit (a hole early in the tone) lies on the same line once the
        # silence the sink played in between is taken out.
        tone.origin = (begin + (math.log(0.9 * GROWTH) - base) / slope
                       - tone.gap_frames(before=begin))
    if estimates:
        estimates.sort()
        tone.frequency = estimates[len(estimates) // 2]


def dropouts(samples, start, end, block=DROPOUT_BLOCK):
    """Dropouts of a rising tone between two frames: a block whose peak falls below half that of
    the block before, lasting until a block is back at half that loudness. The tone's start is
    passed over until it reaches DROPOUT_FLOOR; its last two blocks, and a fall it never comes
    back from (the press cut it off), are its end. Returns [(first frame, length in frames)].
    """
    levels = peaks(samples, start, end - 2 * block, block)
    found = []
    reference = 0  # the peak before the current dropout, 0 when there is none
    for index, level in enumerate(levels):
        if reference and level < reference / 2:
            found[-1][1] += block
            continue
        reference = 0
        if index + 1 < len(levels) and level >= DROPOUT_FLOOR and levels[index + 1] < level / 2:
            reference = level
            found.append([start + (index + 1) * block, 0])
    if reference:
        found.pop()  # the tone never came back: its end (a sound server's tail after the cut)
    return [(frame, length) for frame, length in found]


def fit_growth(windows, start):
    """Least-squares line through ln(amplitude) of the rising windows, outliers dropped.

    A window's peak is the truncated sample, so the amplitude lies between peak and peak + 1;
    peak + 0.5 is used. Windows below 4 units are too coarse, windows at full loudness (30000)
    no longer rise, and the last window may be cut by the end of the piece.
    Returns ((ln amplitude at start, slope per frame), points used) or (None, 0).
    """
    points = []
    for index, peak in enumerate(windows[:-1]):
        if 4 <= peak < 29000:
            points.append((start + index * WINDOW + WINDOW / 2, math.log(peak + 0.5)))
    for _ in range(4):
        if len(points) < 8:
            return None, 0
        count = len(points)
        mean_x = sum(x for x, _ in points) / count
        mean_y = sum(y for _, y in points) / count
        sxx = sum((x - mean_x) ** 2 for x, _ in points)
        sxy = sum((x - mean_x) * (y - mean_y) for x, y in points)
        slope = sxy / sxx
        base = mean_y - slope * mean_x
        kept = [(x, y) for x, y in points if abs(y - (base + slope * x)) < 0.08]
        if len(kept) == len(points):
            break
        points = kept
    # Express the line relative to the piece's first frame.
    return (base + slope * start, slope), len(points)


def frequency_estimates(samples, windows, start, min_peak=10, span=16384, spans=False):
    """Frequencies measured over spans of a piece where it is loud enough to time its crossings.

    Each span counts the rising zero crossings (a negative sample followed by one that is not)
    and divides the whole cycles between the first and the last by the time between them, with
    the crossing times interpolated between samples. The caller takes the median, which keeps a
    span with a hole from spoiling the result. With `spans`: (first frame, end, frequency) each.
    """
    loud = [start + i * WINDOW for i, p in enumerate(windows[:-1]) if p >= min_peak]
    if not loud:
        return []
    first, last = loud[0], loud[-1] + WINDOW
    estimates = []
    begin = first
    while begin < last:
        stop = min(begin + span, last)
        if stop - begin >= span // 4 or not estimates:
            value = _crossing_frequency(samples, begin, stop)
            if value:
                estimates.append((begin, stop, value) if spans else value)
        begin = stop
    return estimates


def _crossing_frequency(samples, begin, stop):
    crossings = []
    previous = samples[begin]
    for index in range(begin + 1, stop):
        current = samples[index]
        if previous < 0 <= current:
            crossings.append(index - 1 + (-previous) / (current - previous))
        previous = current
    if len(crossings) < 3:
        return None
    return (len(crossings) - 1) * RATE / (crossings[-1] - crossings[0])


def nearest_table_frequency(frequency, table):
    """The table entry nearest to a measured frequency and the relative deviation from it."""
    best = min(table, key=lambda hz: abs(frequency - hz))
    return best, abs(frequency - best) / best
