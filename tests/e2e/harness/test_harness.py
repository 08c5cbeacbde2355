"""Tests of the harness's own reading of recordings, data files, dialog geometry and charts,
on made-up input whose answer is known. run.sh runs them before it trusts the harness."""

import math
import os
import tempfile
import unittest
from array import array

import analysis
import chart
import datafile
from desktop import Image
from dialog import DialogLayout
from program import decode_wine_string, native_message_boxes
from stalls import StallWatch, split_dropouts

RATE = analysis.RATE


def rising_tone(hz, buffers, channel=0, growth=1.015, start_level=0.9):
    """Frames of a tone as the program plays it: five silent buffers, then each buffer at the
    level before that buffer's update (0, 0.9 * 1.015, ...), truncated toward zero."""
    frames = []
    level = 0.0
    phase = 0.0
    step = 2 * math.pi * hz / RATE
    for index in range(5 + buffers):
        amplitude = 0.0
        if index >= 5:
            amplitude = level
            level = min(max(level, start_level) * growth, 30000.0)
        for _ in range(analysis.BUFFER_FRAMES):
            sample = int(math.sin(phase) * amplitude)
            frames.append((sample, 0) if channel == 0 else (0, sample))
            phase += step
    return frames


def silence(seconds):
    return [(0, 0)] * int(seconds * RATE)


def recording_of(frames):
    samples = array("h")
    for left, right in frames:
        samples.append(left)
        samples.append(right)
    recording = analysis.Recording()
    recording.append_bytes(samples.tobytes())
    return recording


class ToneAnalysisTest(unittest.TestCase):
    def test_two_tones_are_told_apart_with_frequency_growth_and_start(self):
        first = rising_tone(1000, 300)
        second = rising_tone(70, 350, channel=1)
        recording = recording_of(silence(0.5) + first + silence(1.0) + second + silence(0.5))
        tones = analysis.find_tones(recording)
        self.assertEqual(2, len(tones))
        one, two = tones
        self.assertEqual((0, 1), (one.channel, two.channel))
        self.assertAlmostEqual(1000, one.frequency, delta=1)
        self.assertAlmostEqual(70, two.frequency, delta=0.1)
        self.assertAlmostEqual(1.015, one.growth, delta=0.0003)
        self.assertAlmostEqual(1.015, two.growth, delta=0.0003)
        self.assertLessEqual(one.first_peak, 2)
        self.assertEqual(0, one.other_peak)
        # The first audible buffer is the sixth of the tone (after five silent ones).
        expected_origin = int(0.5 * RATE) + 5 * analysis.BUFFER_FRAMES
        self.assertAlmostEqual(expected_origin, one.origin, delta=analysis.BUFFER_FRAMES)

    def test_a_wrong_growth_is_measured_as_such(self):
        recording = recording_of(silence(0.2) + rising_tone(500, 250, growth=1.02) + silence(0.2))
        (tone,) = analysis.find_tones(recording)
        self.assertAlmostEqual(1.02, tone.growth, delta=0.0005)

    def test_a_tone_that_leaks_into_the_other_channel_shows_it(self):
        frames = rising_tone(2000, 200)
        frames[len(frames) // 2] = (frames[len(frames) // 2][0], 3)
        (tone,) = analysis.find_tones(recording_of(silence(0.2) + frames + silence(0.2)))
        self.assertEqual(3, tone.other_peak)

    def test_a_hole_in_a_loud_tone_does_not_split_it(self):
        frames = rising_tone(250, 400)
        cut = 5 * 1024 + 300 * 1024  # at a level of about 80
        hole = silence(0.12)
        recording = recording_of(silence(0.3) + frames[:cut] + hole + frames[cut:] + silence(0.3))
        for tone in (analysis.find_tones(recording)[0],
                     analysis.tone_between(recording, 0, recording.frames)):
            self.assertEqual(2, len(tone.pieces))
            self.assertAlmostEqual(len(hole), tone.gap_frames(), delta=256)
            self.assertAlmostEqual(1.015, tone.growth, delta=0.0005)
            self.assertAlmostEqual(250, tone.frequency, delta=0.5)
        self.assertEqual(1, len(analysis.find_tones(recording)))

    def test_a_hole_while_the_tone_is_still_faint_keeps_its_start(self):
        frames = rising_tone(1000, 300)
        cut = 5 * 1024 + 60 * 1024  # at a level of about 2, too faint to fit
        recording = recording_of(silence(0.5) + frames[:cut] + silence(0.1) + frames[cut:])
        tone = analysis.tone_between(recording, 0, recording.frames)
        self.assertEqual(2, len(tone.pieces))
        self.assertEqual(1, len(tone.dropouts), "a hole, however faint, is a dropout")
        expected_origin = int(0.5 * RATE) + 5 * analysis.BUFFER_FRAMES
        self.assertAlmostEqual(expected_origin, tone.origin, delta=analysis.BUFFER_FRAMES)

    def test_a_30_ms_gap_is_one_dropout_and_a_whole_tone_none(self):
        for hz in (70, 1000, 12000):
            frames = rising_tone(hz, 450)
            self.assertEqual([], analysis.tone_between(recording_of(frames), 0, len(frames))
                             .dropouts, "%d Hz" % hz)
            cut = (5 + 300) * 1024  # at a level of about 80
            gapped = frames[:cut] + silence(0.03) + frames[cut:]
            tone = analysis.tone_between(recording_of(gapped), 0, len(gapped))
            self.assertEqual(1, len(tone.dropouts), "%d Hz" % hz)
            self.assertAlmostEqual(30, tone.longest_dropout_ms(), delta=10)

    def test_the_amplitude_at_a_frame_follows_the_envelope(self):
        recording = recording_of(rising_tone(1000, 400) + silence(0.2))
        tone = analysis.tone_between(recording, 0, recording.frames)
        frame = (5 + 300) * 1024 + 512
        self.assertAlmostEqual(0.9 * 1.015 ** 300, tone.amplitude_at(frame),
                               delta=0.02 * 0.9 * 1.015 ** 300)


class StallTest(unittest.TestCase):
    def test_only_a_gap_inside_a_stall_of_the_machine_and_no_longer_is_the_machines(self):
        # A stall of 100 ms at 10.0 s; the recording's frame 0 played at 5.0 s.
        stalls = [(10.0, 0.1)]
        time_of = lambda frame: 5.0 + frame / RATE
        at = lambda seconds: int((seconds - 5.0) * RATE)
        gaps = [(at(10.05), int(0.07 * RATE)),  # inside, shorter: the machine's
                (at(10.05), int(0.2 * RATE)),  # inside, longer than the stall
                (at(11.0), int(0.01 * RATE)),  # no stall there
                (at(9.9), int(0.01 * RATE))]  # before the stall began
        machine, program = split_dropouts(gaps, time_of, stalls, RATE)
        self.assertEqual(gaps[:1], machine)
        self.assertEqual(gaps[1:], program)

    def test_under_wine_the_silence_after_the_machines_underrun_is_the_machines_too(self):
        time_of = lambda frame: 5.0 + frame / RATE
        gap = lambda seconds, length: (int((seconds - 5.0) * RATE), int(length * RATE))
        held, follower, own = gap(10.05, 0.015), gap(10.16, 0.02), gap(11.0, 0.01)
        # (dropouts, the room Wine has; how many of them are the machine's)
        for dropouts, room, machines in [([held, follower], 0.09, 2),
                                         ([held, gap(10.3, 0.02)], 0.09, 1),  # too late
                                         ([held, gap(10.16, 0.1)], 0.09, 1),  # too long
                                         ([held, follower], 0.0, 1),  # natively: no such silence
                                         ([own, gap(11.05, 0.01)], 0.09, 0)]:  # after the program's
            self.assertEqual((dropouts[:machines], dropouts[machines:]),
                             split_dropouts(dropouts, time_of, [(10.0, 0.1)], RATE, room))

    def test_the_watchers_lines_give_stalls_of_the_machine_and_holds_of_one_processor(self):
        with tempfile.TemporaryDirectory() as folder:
            watch = StallWatch(None, os.path.join(folder, "stalls.txt"))
            watch._file.write("# watching 2 processors\n12.5000 99.0\ncpu1 20.2500 100.5\n")
            self.assertEqual([(12.5, 0.099)], watch.stalls())
            self.assertEqual([(20.25, 0.1005)], watch.holds())
            watch.stop()


class DataFileTest(unittest.TestCase):
    def test_the_fallback_record_reads_back_and_is_85_bytes(self):
        records, problem = datafile.parse(datafile.FALLBACK)
        self.assertEqual("", problem)
        self.assertEqual(85, len(datafile.FALLBACK))
        self.assertEqual([50 + 3 * i for i in range(10)], records[0].right)
        self.assertEqual(datafile.FALLBACK, datafile.line_of(records[0]))

    def test_written_format_deviations_are_rejected(self):
        self.assertIsNone(datafile.parse(datafile.FALLBACK + b"\r\n")[0])
        self.assertIsNone(datafile.parse(datafile.FALLBACK.replace(b" 53", b"  53", 1))[0])
        self.assertIsNone(datafile.parse(datafile.FALLBACK.replace(b" 77", b"", 1))[0])
        self.assertIsNone(datafile.parse(datafile.FALLBACK + b"\n" + datafile.FALLBACK)[0])

    def test_two_records_with_a_negative_value(self):
        second = b"Erika M\xfcller\xf7 L 1 2 3 4 5 6 7 8 9 -10 R 1 2 3 4 5 6 7 8 9 30004"
        records, _ = datafile.parse(datafile.FALLBACK + b"\r\n" + second)
        self.assertEqual(b"Erika M\xfcller", records[1].name)
        self.assertEqual(-10, records[1].left[9])
        self.assertEqual(30004, records[1].right[9])


class WineTextTest(unittest.TestCase):
    def test_debug_escapes_are_undone(self):
        self.assertEqual("Ger\u00e4t\r\n-30 = \"x\"\\",
                         decode_wine_string(r"Ger\00e4t\r\n-30 = \"x\"\\"))

    def test_the_native_programs_box_lines_are_found_among_other_output(self):
        log = ("(tonolot:12): Gtk-WARNING **: something\n"
               "tonolot: message box: \"Ger\u00e4t \\\"x\\\"\\r\\n-30 \\\\ \\\\00e4\"\n"
               "tonolot: message box: \"Zweite\"\n")
        self.assertEqual(["Ger\u00e4t \"x\"\r\n-30 \\ \\00e4", "Zweite"],
                         native_message_boxes(log))


class DialogLayoutTest(unittest.TestCase):
    def test_base_units_and_the_chart_rectangle(self):
        layout = DialogLayout(39, 28, 543, 372)
        self.assertEqual((7, 13), (layout.base_x, layout.base_y))
        # As measured on a screenshot of the dialog under Wine.
        self.assertEqual((50, 155, 575, 389), layout.rect("chart"))

    def test_the_native_dialog_in_the_desktop_font(self):
        layout = DialogLayout(44, 36, 620, 487)
        self.assertEqual((8, 17), (layout.base_x, layout.base_y))
        # As measured on a screenshot of the native dialog under Xvfb.
        self.assertEqual((56, 202, 656, 508), layout.rect("chart"))
        self.assertEqual((416, 49, 656, 77), layout.combo_field())

    def test_an_unknown_size_is_refused(self):
        with self.assertRaises(ValueError):
            DialogLayout(0, 0, 544, 372)


class ChartTest(unittest.TestCase):
    ITEM = (10, 10, 535, 244)

    def draw(self, curves):
        width, height = 560, 260
        pixels = bytearray(b"\xf0" * (width * height * 3))
        left, top, right, bottom = self.ITEM
        for y in range(top, bottom):
            pixels[(y * width + left) * 3:(y * width + right) * 3] = b"\xff" * ((right - left) * 3)
        for levels, colour in curves:
            points = chart.curve_points(self.ITEM, levels)
            for (ax, ay), (bx, by) in zip(points, points[1:]):
                steps = max(abs(bx - ax), abs(by - ay))
                for step in range(steps):
                    x = ax + (bx - ax) * step // steps
                    y = ay + (by - ay) * step // steps
                    for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
                        if left <= x + dx < right and top <= y + dy < bottom:
                            offset = ((y + dy) * width + x + dx) * 3
                            pixels[offset:offset + 3] = bytes(colour)
        return Image(None, (width, height), pixels)

    def test_the_chart_and_its_curves_are_found(self):
        levels = [20, 150, 40, 180, 60, 30001, 90, 10, 120, 70]
        image = self.draw([(levels, chart.RED)])
        self.assertEqual(self.ITEM, chart.find_item(image, (12, 8, 537, 242)))
        self.assertTrue(chart.CurveCheck(image, self.ITEM, levels, chart.RED).good)

    def test_a_curve_off_by_a_few_pixels_or_a_column_is_not_taken(self):
        levels = [20, 150, 40, 180, 60, 100, 90, 10, 120, 70]
        image = self.draw([(levels, chart.RED)])
        lower = [level + 6 for level in levels]
        shifted = levels[1:] + levels[:1]
        self.assertFalse(chart.CurveCheck(image, self.ITEM, lower, chart.RED).good)
        self.assertFalse(chart.CurveCheck(image, self.ITEM, shifted, chart.RED).good)
        self.assertFalse(chart.CurveCheck(image, self.ITEM, levels, chart.BLUE).good)

    def test_a_curve_covered_by_a_later_one_still_counts(self):
        red = [20, 150, 40, 180, 60, 100, 90, 10, 120, 70]
        blue = [20, 140, 50, 170, 60, 110, 80, 30, 100, 60]
        image = self.draw([(red, chart.RED), (blue, chart.BLUE)])
        check = chart.CurveCheck(image, self.ITEM, red, chart.RED, covering=[chart.BLUE])
        self.assertTrue(check.good, check.describe())


if __name__ == "__main__":
    unittest.main()
