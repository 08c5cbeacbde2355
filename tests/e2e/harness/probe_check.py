"""Self-check of the harness against its own small probe program (tests/e2e/probe).

The probe plays three known tones with rising loudness (left 1000 Hz, right 12000 Hz, left 70 Hz,
1.5 % per 1024 frames, one second apart), stops each at a click on its button 1009 and writes the
level it had then reached; it draws a red and a blue polyline of known levels into control 1006
and shows a message box when no sound device opens. Everything the end-to-end test relies on is
measured here on known ground: window geometry, clicks, OCR, curve pixels, the capture analysis,
the latency from the device to the capture, and the reading of message box texts.
"""

import argparse
import os
import shutil
import sys
import time

import analysis
import children
import chart
import desktop
import listening
from capture import Capture
from dialog import DialogLayout
from program import WineProgram
from report import Report, check_harness, fail_on_exception

RED_LEVELS = [20, 40, 60, 80, 100, 90, 70, 50, 30, 10]
BLUE_LEVELS = [110, 100, 90, 80, 70, 60, 50, 40, 30, 20]
TONES = [(0, 1000), (1, 12000), (0, 70)]
THRESHOLDS = [150, 60, 400]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("probe")
    parser.add_argument("artifacts")
    parser.add_argument("--silent-runtime-dir", required=True)
    parser.add_argument("--pid-file")
    arguments = parser.parse_args()
    children.set_pid_file(arguments.pid_file)
    report = Report()
    check_harness(report)
    os.makedirs(arguments.artifacts, exist_ok=True)
    folder = os.path.join(arguments.artifacts, "probe-run")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    exe = os.path.join(folder, "probe.exe")
    shutil.copy(arguments.probe, exe)

    capture = Capture(os.path.join(arguments.artifacts, "probe-capture.raw"))
    report.check(capture.wait_until_running(), "capture delivers frames")
    program = WineProgram(exe, os.path.join(folder, "wine.log"))
    try:
        with fail_on_exception(report, "probe session"):
            session(report, program, capture, folder)
    finally:
        program.kill()
        capture.stop()
    with fail_on_exception(report, "probe without sound server"):
        without_server(report, exe, folder, arguments.silent_runtime_dir)
    sys.exit(report.summary())


def session(report, program, capture, folder):
    window = desktop.wait_for_window("^Harness Probe$", 30, stop_if=lambda: not program.running())
    if not report.check(window, "probe dialog appears"):
        return
    time.sleep(1.0)
    layout = DialogLayout(*desktop.geometry(window))
    report.check((layout.base_x, layout.base_y) == (7, 13), "base units measured",
                 "%d x %d" % (layout.base_x, layout.base_y))
    shot = os.path.join(folder, "probe.png")
    image = desktop.screenshot(shot)

    text = desktop.read_text(shot, layout.rect("name"), os.path.join(folder, "ocr-name.png"))
    report.check(desktop.similarity(text, "Prüfe Ärger") >= 0.8, "OCR reads the edit field",
                 repr(text))
    dark = lambda pixel: pixel and max(pixel) < 60
    inset = lambda rect: (rect[0] + 4, rect[1] + 4, rect[2] - 4, rect[3] - 4)
    enabled = image.count(inset(layout.rect("start_left")), dark)
    disabled = image.count(inset(layout.rect("start_right")), dark)
    report.check(enabled > 20 and disabled == 0, "enabled and disabled buttons told apart",
                 "%d and %d dark pixels" % (enabled, disabled))

    item = chart.find_item(image, layout.rect("chart"))
    report.check(item == layout.rect("chart"), "chart found where the dialog units put it",
                 "found %s, expected %s" % (item, layout.rect("chart")))
    if item:
        red = chart.CurveCheck(image, item, RED_LEVELS, chart.RED, covering=[chart.BLUE])
        report.check(red.good, "red curve found at its levels", red.describe())
        blue = chart.CurveCheck(image, item, BLUE_LEVELS, chart.BLUE)
        report.check(blue.good, "blue curve found at its levels", blue.describe())
        wrong = chart.CurveCheck(image, item, BLUE_LEVELS, chart.RED, covering=[chart.BLUE])
        report.check(not wrong.good, "red curve not taken for the blue levels", wrong.describe())

    clicks = []
    for (channel, _), threshold in zip(TONES, THRESHOLDS):
        hit = listening.wait_for_loudness(capture, threshold, 30, channel)
        if not report.check(hit, "tone reaches %d" % threshold):
            return
        desktop.click(*layout.centre("heard"))
        clicks.append(hit[0])
        report.note("pressed at %.3f s on a peak of %d, capture then at %.3f s"
                    % (hit[0] / analysis.RATE, hit[2], capture.poll() / analysis.RATE))
        listening.wait_for_silence(capture, 0.3, 5)
    desktop.key("alt+F4")
    code = program.wait_exit(10)
    report.check(code == 0, "probe ends on a close request", "exit code %s" % code)

    capture.poll()
    tones = analysis.find_tones(capture.recording)
    report.check(len(tones) == 3, "three tones found", "%d" % len(tones))
    with open(os.path.join(folder, "probe.txt")) as levels_file:
        stored = [int(line.split()[1]) for line in levels_file if line.strip()]
    for index, tone in enumerate(tones[:3]):
        channel, hz = TONES[index]
        report.note(tone.describe())
        report.check(tone.channel == channel and tone.other_peak == 0,
                     "tone %d in its channel only" % index)
        report.check(tone.frequency and abs(tone.frequency - hz) / hz < 0.002,
                     "tone %d frequency measured" % index, "%.2f Hz" % (tone.frequency or 0))
        report.check(tone.growth and abs(tone.growth - 1.015) < 0.0005,
                     "tone %d growth measured" % index, "%.5f" % (tone.growth or 0))
        report.check(tone.first_peak <= 2, "tone %d rises from silence" % index,
                     "first peak %d" % tone.first_peak)
        heard = tone.amplitude_at(clicks[index])
        ahead = analysis.math.log(stored[index] / heard) / analysis.math.log(1.015)
        holes = tone.gap_frames(clicks[index]) / analysis.WINDOW
        # The probe stores the level at the device's play position when the click arrives; the
        # capture trails that by the click's own travel and the sink's latency only.
        report.check(-1 <= ahead <= 8 + holes, "tone %d: level at the click agrees with the capture"
                     % index, "stored %d, captured %.1f, %.1f buffers apart, %.1f buffers of holes"
                     % (stored[index], heard, ahead, holes))
        if index:
            # The probe starts its buffer one second after the press, five silent buffers first.
            start = tone.origin - 5 * analysis.WINDOW
            pause = (start - tones[index - 1].end) / analysis.RATE
            report.check(0.95 <= pause <= 1.4, "tone %d: pause measured" % index,
                         "%.3f s for a 1.000 s sleep" % pause)


def without_server(report, exe, folder, runtime_dir):
    program = WineProgram(exe, os.path.join(folder, "wine-silent.log"),
                          env={"XDG_RUNTIME_DIR": runtime_dir})
    try:
        box = desktop.wait_for_window("^Probe$", 30, stop_if=lambda: not program.running())
        report.check(box, "message box window found")
        texts = program.message_boxes()
        report.check(texts and texts[0].startswith("Kein Ger\u00e4t\r\n"),
                     "message box text read from Wine", repr(texts))
        if box:
            desktop.screenshot(os.path.join(folder, "probe-box.png"))
            x, y, _, _ = desktop.geometry(box)
            desktop.click(x + 8, y + 8)
            desktop.key("Return")
            report.check(desktop.wait_until_gone(box, 5), "Return dismisses the box")
        desktop.key("alt+F4")
        report.check(program.wait_exit(10) == 0, "probe ends after the box")
    finally:
        program.kill()


if __name__ == "__main__":
    main()
