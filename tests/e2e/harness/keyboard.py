"""Scenario k: the whole test by keyboard only, keys sent to the program's focused window.

Tab (or Shift+Tab) moves to a control, Space or Enter presses it. The harness follows where the
focus should be from the program's tab order (program_kind) and from where the program puts it
itself, so a focus that goes astray shows as a press that does nothing.
"""

import time

import desktop
from session import Session
from whole_test import both_ears, check_stored_record, keep, listen

NAME = "J\u00f6rg Ke\u00dfler"


class KeyPresses:
    """Keys as a person at the keyboard presses them; `focus` is the control that should have
    the keyboard focus."""

    def __init__(self, order):
        self.order = order
        self.focus = order[0]
        self.starts = 0

    def move_to(self, control, disabled=("heard",)):
        """Tab or Shift+Tab, whichever is shorter, until the focus is on the control; disabled
        controls are passed over."""
        stops = [name for name in self.order if name not in disabled or name == self.focus]
        here, there = stops.index(self.focus), stops.index(control)
        forward = (there - here) % len(stops)
        backward = (here - there) % len(stops)
        if forward <= backward:
            keys = ["Tab"] * forward
        else:
            keys = ["shift+Tab"] * backward
        if keys:
            desktop.key(*keys)
        self.focus = control

    def start(self, button):
        if self.focus == "heard":
            self.focus = button  # the end of the run before moved it on to this next step
        self.move_to(button)
        # Space for the first start, Enter for the second: both press a focused button.
        desktop.key("Return" if self.starts else "space")
        self.starts += 1
        self.focus = "heard"  # the program moves it there

    def heard(self, number):
        # Both keys that press a focused button, taking turns.
        desktop.key("space" if number % 2 else "Return")


def scenario_k(ctx):
    folder = ctx.folder("k")
    session = Session(ctx, folder, "program-keys.log")
    capture = None
    try:
        if not ctx.check(session.wait_for_dialog(), "k: the program starts"):
            return
        capture = listen(ctx, "k")
        if capture is None:
            return
        # The keyboard focus on the dialog, as a click on its title bar would put it.
        desktop.run("xdotool", "windowfocus", "--sync", str(session.dialog))
        keys = KeyPresses(ctx.kind.tab_order)
        runs = both_ears(ctx, session, "k", keys, capture)
        # Answered with the first key press only if the start moved the focus to "Gehört".
        ctx.check(all(run.attempts[:1] == [1] for run in runs), "k: right after each start "
                  "\"Geh\u00f6rt\" has the focus: the first tone ends at its first key press",
                  "; ".join("%s: presses per tone %s" % (run.label, run.attempts) for run in runs))
        if len(runs) != 2:
            return
        keys.focus = "store"  # after both ears the program offers to store
        keys.move_to("name")
        desktop.key("End", "shift+Home")
        desktop.type_text(NAME)
        # Enter after typing, as many would: in the name field it must not press the default
        # button, "Schließen", and end the program.
        desktop.key("Return")
        keys.move_to("store")
        desktop.key("Return")
        time.sleep(1.0)
        ctx.shot("k-stored.png")
        desktop.key("alt+F4")
        code = session.program.wait_exit(30)
        ctx.check(code == 0 and not session.program.message_boxes(),
                  "k: Alt+F4 ends the program without asking, the measurement being stored",
                  "exit code %s, boxes %r" % (code, session.program.message_boxes()))
        session.end()
        check_stored_record(ctx, "k", session, NAME, runs)
    finally:
        session.end()
        if capture:
            keep(capture)
