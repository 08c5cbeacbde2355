"""One run of a Windows program under Wine, with the texts of the message boxes it showed.

Wine's "msgbox" debug channel writes the text of every message box as it opens; that is the
exact text the user sees, code page conversions included.
"""

import os
import re
import subprocess
import time

import children

_BOX = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')


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


class WineProgram:
    def __init__(self, exe_path, log_path, env=None):
        self.exe_path = exe_path
        self.log_path = log_path
        environment = dict(os.environ)
        environment.update(env or {})
        environment["WINEDEBUG"] = "-all,+msgbox"
        self._log = open(log_path, "wb")
        self.started = time.monotonic()
        self.process = subprocess.Popen(["wine", os.path.basename(exe_path)],
                                        cwd=os.path.dirname(exe_path), env=environment,
                                        stdout=self._log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        children.register(self.process.pid, os.path.basename(exe_path))

    def running(self):
        return self.process.poll() is None

    def message_boxes(self):
        """Texts of the message boxes opened so far, in order."""
        self._log.flush()
        with open(self.log_path, "rb") as log:
            text = log.read().decode("latin-1")
        return [decode_wine_string(match) for match in _BOX.findall(text)]

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
