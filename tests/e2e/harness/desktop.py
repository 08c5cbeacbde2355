"""The virtual display as a person meets it: windows, pointer clicks, keys, screenshots, reading.

Child controls of a Windows dialog under Wine are not X windows, and those of the native GTK
dialog are drawn into their window too, so a control is reached by screen coordinates; its text
is read from a screenshot with OCR, as an eye would read it.
"""

import difflib
import os
import re
import subprocess
import time


# One thread for OCR: tesseract otherwise keeps every processor busy for a moment (its threads
# wait spinning), which a program whose sound threads run at ordinary priority (Wine's) feels.
_ONE_THREAD = dict(os.environ, OMP_THREAD_LIMIT="1")


def run(*command, check=True):
    result = subprocess.run(command, capture_output=True, text=True, env=_ONE_THREAD)
    if check and result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(command), result.stderr.strip()))
    return result.stdout


def window_name(window):
    result = subprocess.run(["xdotool", "getwindowname", str(window)], capture_output=True,
                            text=True)
    return result.stdout.rstrip("\n") if result.returncode == 0 else None


def find_windows(name_pattern):
    """Visible top-level windows whose name matches the regular expression, case and all:
    xdotool ignores case, and GTK names its helper windows after the program ("tonolot"), which
    a box "Tonolot" must not be taken for."""
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name_pattern],
                            capture_output=True, text=True)
    return [int(line) for line in result.stdout.split()
            if re.search(name_pattern, window_name(int(line)) or "")]


def wait_for_window(name_pattern, timeout, stop_if=None):
    """The first visible window matching the name, or None after timeout seconds."""
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        windows = find_windows(name_pattern)
        if windows:
            return windows[0]
        if stop_if and stop_if():
            return None
        time.sleep(0.1)
    return None


def wait_until_gone(window, timeout):
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        if window not in visible_windows():
            return True
        time.sleep(0.1)
    return False


def geometry(window):
    """(x, y, width, height) of a window on the screen. xwininfo's absolute corner: under a
    window manager, which puts the window inside its frame, xdotool adds the frame's offset once
    more (20 pixels too low under openbox's title bar)."""
    values = {}
    for line in run("xwininfo", "-id", str(window)).splitlines():
        name, _, value = line.strip().partition(":")
        values[name] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def raise_window(window):
    """Puts a window above the others (two copies of the program open at one place)."""
    run("xdotool", "windowraise", str(window), check=False)


def click(x, y):
    # No --sync: it waits for a motion event, and there is none when the pointer is there already.
    run("xdotool", "mousemove", str(x), str(y), "sleep", "0.05", "click", "1")


def key(*keys):
    run("xdotool", "key", "--delay", "40", *keys)


def type_text(text):
    run("xdotool", "type", "--delay", "60", text)


class Image:
    """A screenshot held as RGB bytes."""

    def __init__(self, path, size=None, pixels=None):
        self.path = path
        if pixels is not None:  # made in memory
            self.width, self.height = size
            self.pixels = pixels
            return
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                              check=True).stdout
        fields = []
        position = 0
        while len(fields) < 4:  # P6, width, height, maximum
            while data[position:position + 1].isspace():
                position += 1
            begin = position
            while not data[position:position + 1].isspace():
                position += 1
            fields.append(data[begin:position])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[position + 1:]

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        offset = (y * self.width + x) * 3
        return tuple(self.pixels[offset:offset + 3])

    def count(self, rect, predicate):
        left, top, right, bottom = rect
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if predicate(self.pixel(x, y)))


def wait_until_still(rect, timeout=10, interval=0.2):
    """Waits until a screen rectangle (left, top, right, bottom) shows the same pixels twice in
    a row, interval seconds apart: the window has painted. False if it still changes at timeout."""
    left, top, right, bottom = rect
    crop = "%dx%d+%d+%d" % (right - left, bottom - top, left, top)
    limit = time.monotonic() + timeout
    before = None
    while time.monotonic() < limit:
        now = subprocess.run(["import", "-window", "root", "-crop", crop, "rgb:-"],
                             capture_output=True).stdout
        if now and now == before:
            return True
        before = now
        time.sleep(interval)
    return False


def screenshot(path):
    run("import", "-window", "root", path)
    return Image(path)


def read_text(image_path, rect, work_path, single_line=True):
    """OCR of a screen rectangle (left, top, right, bottom), enlarged four times."""
    left, top, right, bottom = rect
    run("convert", image_path, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
        "+repage", "-colorspace", "Gray", "-resize", "400%", "-normalize", work_path)
    text = run("tesseract", work_path, "-", "-l", "deu", "--psm", "7" if single_line else "6",
               check=False)
    return " ".join(text.split())


def read_lines(image_path, rect, work_path):
    """OCR of a list on the screen: [(text, top, bottom)] of each line, in screen pixels."""
    left, top, right, bottom = rect
    run("convert", image_path, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
        "+repage", "-colorspace", "Gray", "-resize", "400%", "-normalize", work_path)
    tsv = run("tesseract", work_path, "-", "-l", "deu", "--psm", "6", "tsv", check=False)
    lines = {}
    for row in tsv.splitlines()[1:]:
        cells = row.split("\t")
        if len(cells) < 12 or not cells[11].strip():
            continue
        line_key = (cells[2], cells[3], cells[4])
        word_top = top + int(cells[7]) // 4
        word_bottom = top + (int(cells[7]) + int(cells[9])) // 4
        text, line_top, line_bottom = lines.get(line_key, ("", word_top, word_bottom))
        lines[line_key] = ((text + " " + cells[11]).strip(), min(line_top, word_top),
                           max(line_bottom, word_bottom))
    return sorted(lines.values(), key=lambda line: line[1])


def similarity(seen, expected):
    """How closely OCR text matches the expected text, 0 to 1 (white space ignored)."""
    normal = lambda text: re.sub(r"\s+", " ", text).strip()
    return difflib.SequenceMatcher(None, normal(seen), normal(expected)).ratio()


def visible_windows():
    """All visible X windows, the root included."""
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                            capture_output=True, text=True)
    return {int(line) for line in result.stdout.split()}


def wait_for_new_window(before, timeout):
    """The largest visible window on the screen that was not among `before`, or None after
    timeout seconds. GTK maps small helper windows with a popup (one pixel, or off the screen),
    which are not what a person sees open."""
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        fresh = []
        for window in visible_windows() - before:
            try:
                x, y, width, height = geometry(window)
            except RuntimeError:
                continue  # gone again
            if width > 2 and height > 2 and x + width > 0 and y + height > 0:
                fresh.append((width * height, window))
        if fresh:
            return max(fresh)[1]
        time.sleep(0.05)
    return None


def move(x, y):
    run("xdotool", "mousemove", str(x), str(y))


def click_here():
    """A click where the pointer rests, the quickest press there is."""
    run("xdotool", "click", "1")
