"""Drives the native program through its accessibility tree (AT-SPI), as a screen reader user's
tools do: controls found by name and role, text set through EditableText, buttons pressed by
their action.

Runs under the Debian /usr/bin/python3, where pyatspi is installed (the harness itself may run
under another Python). It reads one JSON request a line from standard input and answers each
with one JSON line on standard output:

  {"do": "find", "name": N, "role": R}          -> {"ok": true, "states": [...]} once it exists
  {"do": "press", "name": N, "role": R}         -> {"ok": true} after doAction(0)
  {"do": "set_text", "name": N, "role": R, "text": T} -> {"ok": true, "text": <read back>}
  {"do": "describe", "name": N, "role": R}      -> {"ok": true, "description": D, "states": [...]}
  {"do": "focused"}                             -> {"ok": true, "name": N, "role": R}
"""

import json
import sys
import time

import pyatspi

APPLICATION = "tonolot"
WINDOW = "Tonolot 0.8"


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name == APPLICATION:
            return app
    return None


def walk(node, depth=0):
    """Every accessible below node (the node included), depth first."""
    if node is None or depth > 30:
        return
    yield node
    for index in range(node.childCount):
        yield from walk(node.getChildAtIndex(index), depth + 1)


def state_names(node):
    states = node.getState()
    return sorted(pyatspi.stateToString(state) for state in states.getStates())


class Tree:
    def __init__(self):
        self.found = {}

    def window(self):
        app = application()
        if app is None:
            return None
        for index in range(app.childCount):
            frame = app.getChildAtIndex(index)
            if frame is not None and frame.name == WINDOW:
                return frame
        return None

    def find(self, name, role, timeout=20):
        key = (name, role)
        if key in self.found:
            return self.found[key]
        limit = time.monotonic() + timeout
        while time.monotonic() < limit:
            frame = self.window()
            for node in walk(frame):
                if node.name == name and node.getRoleName() == role:
                    self.found[key] = node
                    return node
            time.sleep(0.2)
        raise LookupError("no %s named %r in the window %r" % (role, name, WINDOW))

    def focused(self):
        for node in walk(self.window()):
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                return node
        return None


def answer(tree, request):
    kind = request["do"]
    if kind == "focused":
        node = tree.focused()
        return {"ok": node is not None, "name": node.name if node else None,
                "role": node.getRoleName() if node else None}
    node = tree.find(request["name"], request["role"])
    if kind == "find":
        return {"ok": True, "states": state_names(node)}
    if kind == "press":
        action = node.queryAction()
        return {"ok": bool(action.doAction(0)), "action": action.getName(0)}
    if kind == "set_text":
        editable = node.queryEditableText()
        done = editable.setTextContents(request["text"])
        text = node.queryText()
        return {"ok": bool(done), "text": text.getText(0, -1)}
    if kind == "describe":
        return {"ok": True, "description": node.description, "states": state_names(node)}
    raise ValueError("unknown request %r" % kind)


def main():
    pyatspi.setTimeout(10000, 15000)
    tree = Tree()
    for line in sys.stdin:
        if not line.strip():
            continue
        try:
            reply = answer(tree, json.loads(line))
        except Exception as error:  # the harness judges; the driver reports and goes on
            reply = {"ok": False, "error": "%s: %s" % (type(error).__name__, error)}
        sys.stdout.write(json.dumps(reply) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
