"""What the scenarios expect of each kind of program: the Windows program under Wine, or the
native Linux program (GTK, ALSA). The scenarios are the same; these are the values that differ."""

import os
import shutil

from program import NativeProgram, WineProgram, wine_latency_msec


class WineKind:
    name = "tonolot.exe under Wine"
    # The template's font, 8 pt Arial, as Wine renders it.
    base_units = (7, 13)
    font = "8 pt Arial"
    # A fresh Wine prefix takes long to start the first program.
    start_timeout = 90
    # What Wine needs to start a freshly opened device, on top of the longest pause, measured
    # with the harness probe under load.
    device_start = 0.5
    # Whether the program's audio trace tells when each tone's frames were handed to the sound
    # server (TONOLOT_TRACE_AUDIO), for the start delay.
    traces_starts = False
    # Wine answers an underrun with silence for the room it has in the server (stalls.py); the
    # room is what the harness gives Wine (program.py).
    underrun_room = float(wine_latency_msec()) / 1000
    # Whether each tone's frequency is judged span by span: under Wine the first span of a
    # 125 Hz tone once measured 0.7 % high (not yet explained), so it is only noted there.
    judges_frequency_spans = False
    # Without a sound server waveOutOpen fails with MMSYSERR_BADDEVICEID (2), shown as 2 - 32.
    no_server_cause = "Wine's code without a sound server, 2,"
    # Tab's order is the dialog template's; the focus starts on its first control.
    tab_order = ["close", "new_test", "name", "chart", "start_left", "start_right", "heard", "aid",
                 "list", "store", "comparison"]

    def __init__(self, path, installed=False):
        self.path = os.path.abspath(path)
        # An installed program runs where the installer put it, its data file beside it.
        self.installed = installed

    def prepare(self, folder):
        """The program beside its data file, as a user keeps it."""
        if not self.installed:
            shutil.copy(self.path, os.path.join(folder, "tonolot.exe"))

    def data_path(self, folder):
        return os.path.join(os.path.dirname(self.path) if self.installed else folder, "tonolot.def")

    def start(self, folder, log_path, env=None):
        exe = self.path if self.installed else os.path.join(folder, "tonolot.exe")
        return WineProgram(exe, log_path, env)


class NativeKind:
    name = "the native program"
    # The desktop's font stands in for the template's; under Xvfb without settings GTK uses
    # "Sans 10" (DejaVu Sans), 8 x 17.
    base_units = (8, 17)
    font = "the desktop font"
    start_timeout = 30
    # ALSA starts at once; a little for the capture and the sound server's own latency.
    device_start = 0.3
    traces_starts = True
    underrun_room = 0.0
    judges_frequency_spans = True
    # ALSA fails to open "default" (no pulse server: no card to fall back to); the program shows
    # it as the Windows program shows Wine's code.
    no_server_cause = "ALSA's error without a sound server"
    # Tab goes row by row from the top, each row from the left; the focus starts on the name.
    tab_order = ["name", "store", "list", "start_left", "heard", "new_test", "comparison", "aid",
                 "start_right", "close", "chart"]

    def __init__(self, path, installed=False):
        self.path = os.path.abspath(path)
        # An installed program is given no data file: it finds its own under the data home,
        # which is the session folder's "share" here.
        self.installed = installed

    def prepare(self, folder):
        """Nothing to copy: the data file's path is given in the environment."""

    def data_path(self, folder):
        if self.installed:
            return os.path.join(folder, "share", "tonolot", "tonolot.def")
        return os.path.join(folder, "tonolot.def")

    def start(self, folder, log_path, env=None):
        environment = dict(env or {})
        data_file = None
        if self.installed:
            environment["XDG_DATA_HOME"] = os.path.join(folder, "share")
        else:
            data_file = self.data_path(folder)
        return NativeProgram(self.path, log_path, folder, data_file, environment)


def kind_of(path, installed=False):
    """The kind of program a file holds, told by its first bytes (MZ: Windows, ELF: Linux)."""
    with open(path, "rb") as program:
        magic = program.read(4)
    if magic[:2] == b"MZ":
        return WineKind(path, installed)
    if magic == b"\x7fELF":
        return NativeKind(path, installed)
    raise ValueError("%s is neither a Windows nor a Linux program" % path)
