"""Scenario s: the whole test through the accessibility tree only (AT-SPI), as a screen reader
user's tools drive it; native program only.

A session bus and the accessibility bus of the scenario's own carry the program's tree to the
driver (atspi_driver.py), which runs under the Debian /usr/bin/python3 where pyatspi lives.
"""

import json
import os
import re
import subprocess
import time

import children
from session import Session
from whole_test import both_ears, check_stored_record, keep, listen

NAME = "Ren\u00e9e Gro\u00df"
DEBIAN_PYTHON = "/usr/bin/python3"
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Controls by the name and role a screen reader announces.
CONTROLS = {
    "name": ("Name der Person", "text"),
    "list": ("Gespeicherte Personen", "combo box"),
    "chart": ("Audiogramm", "chart"),
    "start_left": ("Start links", "push button"),
    "start_right": ("Start rechts", "push button"),
    "heard": ("Geh\u00f6rt", "push button"),
    "store": ("\u00dcbernehmen", "push button"),
    "close": ("Schlie\u00dfen", "push button"),
}


class AccessibilityBus:
    """A session bus and, on it, the accessibility bus; stopped by their pids."""

    def __init__(self):
        started = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                                  "--print-pid=1"], capture_output=True, text=True, check=True)
        address, pid = started.stdout.split()[:2]
        self.bus_pid = int(pid)
        children.register(self.bus_pid, "dbus-daemon")
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        self.env.pop("NO_AT_BRIDGE", None)
        self.launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=self.env,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        children.register(self.launcher.pid, "at-spi-bus-launcher")
        time.sleep(1.0)  # until it has registered its name on the session bus

    def stop(self):
        self.launcher.terminate()
        try:
            self.launcher.wait(5)
        except subprocess.TimeoutExpired:
            self.launcher.kill()
            self.launcher.wait()
        try:
            os.kill(self.bus_pid, 15)
        except OSError:
            pass


class Driver:
    """The AT-SPI driver process: one JSON request, one JSON answer."""

    def __init__(self, env, log_path):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_driver.py")
        self._log = open(log_path, "wb")
        self.process = subprocess.Popen([DEBIAN_PYTHON, script], env=env, text=True,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._log)
        children.register(self.process.pid, "atspi_driver")

    def ask(self, do, control=None, **fields):
        request = dict(fields, do=do)
        if control:
            request["name"], request["role"] = CONTROLS[control]
        self.process.stdin.write(json.dumps(request) + "\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        return json.loads(line) if line else {"ok": False, "error": "the driver ended"}

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()


class ActionPresses:
    """Starts and answers through the buttons' actions; notes where the focus went at each
    start, as a screen reader would announce it."""

    def __init__(self, driver):
        self.driver = driver
        self.focus_after_start = []

    def start(self, button):
        self.driver.ask("press", button)
        focused = None
        limit = time.monotonic() + 3
        while time.monotonic() < limit and focused != CONTROLS["heard"][0]:
            focused = self.driver.ask("focused").get("name")
        self.focus_after_start.append(focused)

    def heard(self, number):
        self.driver.ask("press", "heard")


def curve_levels(description, label):
    """The levels a description gives for one curve, in the order of the table, or []."""
    match = re.search(re.escape(label) + r":([^.]*)\.", description or "")
    return [int(level) for _, level in re.findall(r"(\d+) Hz (-?\d+)", match.group(1))] \
        if match else []


def scenario_s(ctx):
    if ctx.kind.name != "the native program":
        ctx.report.note("s: the accessibility tree is checked with the native program only")
        return
    bus = AccessibilityBus()
    folder = ctx.folder("s")
    session = Session(ctx, folder, "program-atspi.log", bus.env)
    driver = None
    capture = None
    try:
        if not ctx.check(session.wait_for_dialog(), "s: the program starts"):
            return
        driver = Driver(bus.env, os.path.join(folder, "atspi-driver.log"))
        missing = [CONTROLS[control] for control in CONTROLS
                   if not driver.ask("find", control)["ok"]]
        if not ctx.check(not missing, "s: the tree holds the controls by name and role",
                         "missing %s" % missing):
            return
        before = driver.ask("describe", "chart").get("description")
        capture = listen(ctx, "s")
        if capture is None:
            return
        presses = ActionPresses(driver)
        runs = both_ears(ctx, session, "s", presses, capture)
        ctx.check(presses.focus_after_start == [CONTROLS["heard"][0]] * 2,
                  "s: each start puts the focus on \"Geh\u00f6rt\"",
                  "focus after the starts: %s" % presses.focus_after_start)
        if len(runs) != 2:
            return
        after = driver.ask("describe", "chart").get("description")
        typed = driver.ask("set_text", "name", text=NAME)
        ctx.check(typed["ok"] and typed.get("text") == NAME,
                  "s: the name field takes a name through EditableText", repr(typed))
        stored_now = driver.ask("press", "store")["ok"]
        time.sleep(1.0)
        closing = driver.ask("press", "close")["ok"]
        code = session.program.wait_exit(30)
        ctx.check(stored_now and closing and code == 0 and not session.program.message_boxes(),
                  "s: \"\u00dcbernehmen\", then \"Schlie\u00dfen\" end the program without asking",
                  "exit code %s, boxes %r" % (code, session.program.message_boxes()))
        stored = check_stored_record(ctx, "s", session, NAME, runs)
        if stored:
            ctx.check("Links nicht gemessen" in (before or "")
                      and curve_levels(after, "Links (rot)") == stored.left
                      and curve_levels(after, "Rechts (blau)") == stored.right,
                      "s: the chart \"Audiogramm\" is described with the measured levels of "
                      "both ears", "before: %r; after: %r" % (before, after))
    finally:
        if driver:
            driver.stop()
        session.end()
        bus.stop()
        if capture:
            keep(capture)
