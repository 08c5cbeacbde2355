"""One run of the program, with the texts of the message boxes it showed: a Windows program
under Wine, or the native Linux program.

Wine's "msgbox" debug channel writes the text of every message box as it opens; that is the
exact text the user sees, code page conversions included. The native program writes each box's
text to standard error itself when TONOLOT_TRACE_MESSAGES is set, escaped the same way.
"""

import os
import re
import subprocess
import time

import children

_BOX = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')
_NATIVE_BOX = re.compile(r'^tonolot: message box: "((?:[^"\\]|\\.)*)"$', re.MULTILINE)


def decode_wine_string(text):
    """Undoes Wine's debugstr_w escapes (\\r, \\n, \\t, \\\\, \\", \\xxxx in hex)."""
    result = []
    index = 0
    simple = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"'}
    while index < len(text):
        char = text[index]
        if char == "\\" and index + 1 < len(text):
            following = text[index + 1]
            if following in simple:
                result.append(simple[following])
                index += 2
                continue
            if re.fullmatch(r"[0-9a-fA-F]{4}", text[index + 1:index + 5]):
                result.append(chr(int(text[index + 1:index + 5], 16)))
                index += 5
                continue
        result.append(char)
        index += 1
    return "".join(result)


def native_message_boxes(log):
    """The box texts among the native program's standard error lines (UTF-8, escaped as Wine
    escapes them)."""
    return [decode_wine_string(match) for match in _NATIVE_BOX.findall(log)]


class Program:
    """A started program whose standard output and error go to a log file."""

    def __init__(self, command, cwd, log_path, environment, name):
        self.log_path = log_path
        self._log = open(log_path, "wb")
        self.started = time.monotonic()
        # In a session of its own, as a program started from the desktop: the kernel shares
        # the processors between sessions first, so the harness's own bursts (OCR, screenshots)
        # take their share from the harness, not from the program's sound threads.
        self.process = subprocess.Popen(command, cwd=cwd, env=environment, stdout=self._log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                        start_new_session=True)
        children.register(self.process.pid, name)

    def running(self):
        return self.process.poll() is None

    def log_text(self, encoding):
        self._log.flush()
        with open(self.log_path, "rb") as log:
            return log.read().decode(encoding, errors="replace")

    def wait_exit(self, timeout):
        """The exit code, or None if the program is still running after timeout seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()
        self._log.close()


def wine_latency_msec():
    """The room in the sound server that Wine is given (PULSE_LATENCY_MSEC), as a string."""
    return os.environ.get("PULSE_LATENCY_MSEC", os.environ.get("TONOLOT_E2E_WINE_LATENCY", "200"))


class WineProgram(Program):
    def __init__(self, exe_path, log_path, env=None):
        self.exe_path = exe_path
        environment = dict(os.environ)
        environment.update(env or {})
        # The boxes' texts, and the underflows Wine's sound driver meets, with their times.
        environment["WINEDEBUG"] = os.environ.get("TONOLOT_E2E_WINEDEBUG",
                                                  "-all,+msgbox,warn+pulse,+timestamp")
        # As scripts/run.sh does for Wine: Wine 8's sound driver keeps about 30 ms in the sound
        # server, fed by an ordinary thread, so a busy machine makes it run dry (see
        # docs/performance.md, "Where Wine's dropouts arise"). Only Wine gets it, not the capture.
        environment.setdefault("PULSE_LATENCY_MSEC", wine_latency_msec())
        super().__init__(["wine", os.path.basename(exe_path)], os.path.dirname(exe_path),
                         log_path, environment, os.path.basename(exe_path))

    def message_boxes(self):
        """Texts of the message boxes opened so far, in order."""
        return [decode_wine_string(match) for match in _BOX.findall(self.log_text("latin-1"))]


class NativeProgram(Program):
    """The native program, its data file where the session wants it (None: where the program
    itself puts it)."""

    def __init__(self, path, log_path, cwd, data_path, env=None):
        environment = dict(os.environ)
        environment.update(env or {})
        environment.pop("TONOLOT_DATA_FILE", None)
        if data_path:
            environment["TONOLOT_DATA_FILE"] = data_path
        environment["TONOLOT_TRACE_MESSAGES"] = "1"
        super().__init__([path], cwd, log_path, environment, os.path.basename(path))

    def message_boxes(self):
        """Texts of the message boxes opened so far, in order."""
        return native_message_boxes(self.log_text("utf-8"))
