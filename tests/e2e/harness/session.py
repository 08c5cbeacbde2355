"""One run of the program (tonolot.exe under Wine, or the native one), and what the scenarios
share."""

import os
import shutil
import time

import desktop
from dialog import DialogLayout
from program_kind import kind_of
from report import Report

DIALOG_NAME = r"^Tonolot 0\.8$"
BOX_NAME = r"^Tonolot$"


class Context:
    def __init__(self, arguments):
        self.report = Report()
        self.kind = kind_of(arguments.program, getattr(arguments, "installed", False))
        self.artifacts = arguments.artifacts
        self.silent_runtime = arguments.silent_runtime_dir
        self.pulse_pid = arguments.pulse_pid
        self.sound_server = arguments.sound_server
        # name -> pid of each process of the sound server (pipewire, wireplumber, ...)
        self.server_pids = {name: int(pid) for pid, name in
                            (entry.split("=", 1) for entry in arguments.server_pids.split(",")
                             if "=" in entry)}
        self.chosen = arguments.scenarios
        self.capture = None
        # Stalls of the whole machine while the scenarios run (stalls.py), when watched.
        self.stall_watch = None
        self.runs = {}  # "b"/"c" -> EarRun
        self.stored = None  # the measured record as read from the data file
        self.chart_shot = None  # screenshot after both runs
        self.chart_rect = None  # where the dialog units put the chart

    def check(self, condition, name, detail=""):
        return self.report.check(condition, name, detail)

    def folder(self, name, fresh=True):
        path = os.path.join(self.artifacts, name)
        if fresh:
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
            self.kind.prepare(path)
        return path

    def shot(self, name):
        return desktop.screenshot(os.path.join(self.artifacts, name))


class Session:
    """One run of the program: its process, its dialog and where the dialog's controls lie."""

    def __init__(self, ctx, folder, log_name, env=None, kind=None):
        """`kind`: another kind of program than the run's (tonolot.exe beside the native one)."""
        self.ctx = ctx
        self.kind = kind or ctx.kind
        self.folder = folder
        self.data_path = self.kind.data_path(folder)
        self.program = self.kind.start(folder, os.path.join(folder, log_name), env)
        self.dialog = None
        self.layout = None

    def wait_for_dialog(self, timeout=None):
        timeout = timeout or self.kind.start_timeout
        self.dialog = desktop.wait_for_window(DIALOG_NAME, timeout,
                                              stop_if=lambda: not self.program.running())
        if self.dialog:
            x, y, width, height = desktop.geometry(self.dialog)
            self.layout = DialogLayout(x, y, width, height)
            desktop.wait_until_still((x, y, x + width, y + height))
        return self.dialog

    def click(self, control):
        desktop.click(*self.layout.centre(control))

    def click_check_box(self, control):
        left, top, _, bottom = self.layout.rect(control)
        desktop.click(left + 6, (top + bottom) // 2)

    def read(self, image_path, control, work_name):
        rect = self.layout.rect(control)
        if control in ("aid", "comparison"):
            rect = (rect[0] + 15,) + rect[1:]  # the text beside the check box's square
        else:
            # Inside the button's frame and its focus rectangle.
            inset = 2 if control == "name" else 4
            rect = (rect[0] + inset, rect[1] + inset, rect[2] - inset, rect[3] - inset)
        return desktop.read_text(image_path, rect, os.path.join(self.folder, work_name))

    def wait_to_read(self, shot_name, reader, expected, timeout=10):
        """Takes screenshots until reader(path) reads about `expected` (or timeout seconds have
        passed): the screen has followed a click or a key. Returns the text and the Image."""
        limit = time.monotonic() + timeout
        while True:
            image = self.ctx.shot(shot_name)
            text = reader(image.path)
            if desktop.similarity(text, expected) >= 0.8 or time.monotonic() >= limit:
                return text, image
            time.sleep(0.2)

    def read_list_field(self, image_path, work_name):
        return desktop.read_text(image_path, self.layout.combo_field(),
                                 os.path.join(self.folder, work_name))

    def open_list(self):
        """Opens the drop-down list; returns [(text, top, bottom)] of its lines and the window."""
        before = desktop.visible_windows()
        left, top, right, bottom = self.layout.combo_field()
        desktop.click((left + right) // 2, (top + bottom) // 2)
        window = desktop.wait_for_new_window(before, 5)
        if not window:
            return [], None
        x, y, width, height = desktop.geometry(window)
        desktop.wait_until_still((x, y, x + width, y + height))
        shot = os.path.join(self.folder, "list-open.png")
        desktop.screenshot(shot)
        lines = desktop.read_lines(shot, (x, y, x + width, y + height),
                                   os.path.join(self.folder, "ocr-list.png"))
        return lines, (x, y, width, height)

    def enabled(self, image, control):
        """Whether a push button shows its caption in the dark text of an enabled button."""
        left, top, right, bottom = self.layout.rect(control)
        dark = image.count((left + 4, top + 4, right - 4, bottom - 4),
                           lambda pixel: pixel is not None and max(pixel) < 60)
        return dark > 15

    def close(self, timeout=30):
        """Clicks "Schließen" and waits for the program to end; returns its exit code or None."""
        self.click("close")
        return self.program.wait_exit(timeout)

    def end(self):
        self.program.kill()


def read_file(path):
    """The bytes of a file, or None if it cannot be read."""
    try:
        with open(path, "rb") as data:
            return data.read()
    except OSError:
        return None
