"""Scenario r: "Übernehmen" means stored. The data file holds a record "Anna Albers" with both
ears, so no tone must play: Anna is chosen, stored under a new name, and the program ends in a
way the person did not choose (SIGKILL two seconds later, SIGTERM, SIGINT, the end of the
Windows session), or a second copy of the program on the same file stores another person
(natively also tonolot.exe beside the native program, when TONOLOT_E2E_WINDOWS_PARTNER names
it). Every person stored is in the file afterwards with Anna's levels, and nothing else changed.
An unstored measurement left in the recovery file comes back at the next start."""

import os
import signal
import subprocess
import time

import children
import datafile
import desktop
from held_run import confirm_box
from session import BOX_NAME, DIALOG_NAME, Session, read_file
from dialog import DialogLayout
from program_kind import WineKind

ANNA = datafile.Record(b"Anna Albers", [21 + 3 * i for i in range(10)],
                       [35 + 2 * i for i in range(10)])


def attach(session, window):
    """Points the session at one dialog window among several of the same name."""
    session.dialog = window
    desktop.raise_window(window)
    x, y, width, height = desktop.geometry(window)
    session.layout = DialogLayout(x, y, width, height)
    desktop.wait_until_still((x, y, x + width, y + height))


def store_anna_as(ctx, session, name):
    """Chooses Anna in the list and stores her levels under `name`; true once the list field
    shows the name."""
    lines, box = session.open_list()
    anna = [line for line in lines if desktop.similarity(line[0], "Anna Albers") >= 0.8]
    if not ctx.check(anna, "r: Anna Albers is in the list", "reads %r" % [t for t, _, _ in lines]):
        if box:
            desktop.key("Escape")
        return False
    desktop.click(box[0] + box[2] // 2, (anna[-1][1] + anna[-1][2]) // 2)
    session.wait_to_read("r-chosen.png",
                         lambda shot: session.read(shot, "name", "ocr-r-chosen.png"), "Anna Albers")
    session.click("name")
    time.sleep(0.2)
    desktop.key("End", "shift+Home")
    desktop.type_text(name)
    time.sleep(0.2)
    session.click("store")
    listed, _ = session.wait_to_read(
        "r-stored.png", lambda shot: session.read_list_field(shot, "ocr-r-list.png"), name)
    return ctx.check(desktop.similarity(listed, name) >= 0.8,
                     "r: after \"\u00dcbernehmen\" the list shows %s" % name, "reads %r" % listed)


def check_file(ctx, path, names, what, extra=()):
    """The file holds the fallback standard, Anna, each name with Anna's levels and the extra
    records, in order."""
    records = [datafile.Record(name.encode("cp1252"), ANNA.left, ANNA.right)
               for name in names] + list(extra)
    expected = datafile.FALLBACK + b"\r\n" + datafile.line_of(ANNA) + b"".join(
        b"\r\n" + datafile.line_of(record) for record in records)
    names = names + [record.name.decode("cp1252") for record in extra]
    content = read_file(path)
    ctx.check(content == expected, "r: %s: the data file holds %s" % (what, ", ".join(names)),
              repr(content))


def one_copy(ctx, folder, name, ending, what):
    session = Session(ctx, folder, "program-%s.log" % name)
    try:
        if not ctx.check(session.wait_for_dialog(), "r: %s: the program starts" % what):
            return
        if store_anna_as(ctx, session, name):
            ending(session)
    finally:
        session.end()


def kill_later(session):
    time.sleep(2)
    if session.ctx.kind.name.startswith("tonolot.exe"):
        # The program is a process of the prefix's server, not the launcher that was started.
        subprocess.run(["wineserver", "-k"], check=False)
    else:
        os.kill(session.program.process.pid, signal.SIGKILL)
    session.program.wait_exit(10)


def terminate(session, number=signal.SIGTERM):
    began = time.monotonic()
    os.kill(session.program.process.pid, number)
    code = session.program.wait_exit(5)
    took = time.monotonic() - began
    session.ctx.check(code == 0 and took <= 2.0,
                      "r: %s ends the program with 0 within 2 s" % signal.Signals(number).name,
                      "exit code %s after %.1f s" % (code, took))


def end_session(session):
    began = time.monotonic()
    subprocess.run(["wineboot", "--end-session"], check=False, capture_output=True, timeout=30)
    code = session.program.wait_exit(10)
    session.ctx.check(code is not None, "r: the end of the Windows session ends the program",
                      "exit code %s after %.1f s" % (code, time.monotonic() - began))


def two_copies(ctx, folder, first_name, second_name, second_kind=None, first_closes_first=False):
    """Two copies on the file: the second, started while the first runs, stores and closes; then
    the first, which never loaded that person, stores and closes. `second_kind`: the second is
    another kind of program (tonolot.exe beside the native one). `first_closes_first`: the
    second stays open until the first has stored and closed."""
    first = Session(ctx, folder, "program-first.log")
    second = None
    try:
        if not ctx.check(first.wait_for_dialog(), "r: the first copy starts"):
            return
        before = set(desktop.find_windows(DIALOG_NAME))
        if second_kind:
            second_kind.prepare(folder)
        second = Session(ctx, folder, "program-second.log", kind=second_kind)
        limit = time.monotonic() + ctx.kind.start_timeout
        new = []
        while not new and time.monotonic() < limit and second.program.running():
            new = [w for w in desktop.find_windows(DIALOG_NAME) if w not in before]
            time.sleep(0.2)
        if not ctx.check(new, "r: the second copy starts beside the first%s" % (
                " (%s)" % second.kind.name if second_kind else "")):
            return
        attach(second, new[0])
        stored = store_anna_as(ctx, second, second_name)
        if stored and not first_closes_first:
            code = second.close()
            ctx.check(code == 0, "r: the second copy closes", "exit code %s" % code)
        attach(first, first.dialog)
        if store_anna_as(ctx, first, first_name):
            # Its save brought the other copy's person into the list.
            lines, box = first.open_list()
            texts = [text for text, _, _ in lines]
            ctx.check(any(desktop.similarity(text, second_name) >= 0.8 for text in texts),
                      "r: after its store the first copy lists %s" % second_name,
                      "reads %r" % texts)
            if box:
                desktop.key("Escape")
                time.sleep(0.3)
            code = first.close()
            ctx.check(code == 0, "r: the first copy closes", "exit code %s" % code)
        if stored and first_closes_first:
            attach(second, second.dialog)
            code = second.close()
            ctx.check(code == 0, "r: the second copy closes after the first",
                      "exit code %s" % code)
    finally:
        if second:
            second.end()
        first.end()


GUSTAV = datafile.Record(b"Gustav Meier", [30 + i for i in range(10)],
                         [60 + i for i in range(10)])


def recovery(ctx, folder, ending, what):
    """A measurement the last session could not store waits in the recovery file: the next start
    tells of it in a box and shows it with its name; an end nobody chose keeps it anew under the
    name typed since; "\u00dcbernehmen" puts it into the data file and its recovery file goes."""
    path = ctx.kind.data_path(folder)
    unstored = path + ".unstored"
    with open(unstored, "wb") as data:
        data.write(datafile.line_of(GUSTAV))
    renamed = datafile.Record(b"Gustav Meyer", GUSTAV.left, GUSTAV.right)
    for round, record in ((1, GUSTAV), (2, renamed)):
        name = record.name.decode("cp1252")
        session = Session(ctx, folder, "program-recovery-%d.log" % round)
        try:
            if not ctx.check(session.wait_for_dialog(), "r: recovery: the program starts"):
                return
            box = desktop.wait_for_window(BOX_NAME, 10)
            texts = session.program.message_boxes()
            ctx.check(box and len(texts) == 1 and name in texts[0]
                      and "letzten Sitzung" in texts[0],
                      "r: recovery: a box tells of %s from the last session" % name, repr(texts))
            if box:
                confirm_box(box)
            shown, _ = session.wait_to_read(
                "r-recovered.png", lambda shot: session.read(shot, "name", "ocr-r-name.png"), name)
            ctx.check(desktop.similarity(shown, name) >= 0.8,
                      "r: recovery: the measurement's name is in the name field",
                      "reads %r" % shown)
            if round == 1:
                session.click("name")
                time.sleep(0.2)
                desktop.key("End", "shift+Home")
                desktop.type_text(renamed.name.decode("cp1252"))
                time.sleep(0.3)
                ending(session)
                ctx.check(read_file(unstored) == datafile.line_of(renamed),
                          "r: recovery: %s keeps the unstored measurement under the name typed"
                          % what, repr(read_file(unstored)))
                continue
            session.click("store")
            time.sleep(1)
            code = session.close()
            ctx.check(code == 0 and len(session.program.message_boxes()) == 1,
                      "r: recovery: stored, the program closes without asking",
                      "exit code %s, boxes %r" % (code, session.program.message_boxes()))
        finally:
            session.end()
    check_file(ctx, path, [], "recovery", extra=[renamed])
    ctx.check(not os.path.exists(unstored), "r: recovery: the recovery file is gone once stored")


def lost_display(ctx, folder):
    """The native program on a display of its own that goes away (a logout, a crashed X server):
    it ends as at a signal, with code 0 (GDK alone would end it with 1), the unstored
    measurement kept in its recovery file and the data file as it was."""
    path = ctx.kind.data_path(folder)
    unstored = path + ".unstored"
    with open(unstored, "wb") as data:
        data.write(datafile.line_of(GUSTAV))
    before = read_file(path)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    children.register(xvfb.pid, "Xvfb")
    os.close(write_end)
    number = os.read(read_end, 16).decode().strip()
    os.close(read_end)
    session = Session(ctx, folder, "program-lost-display.log", {"DISPLAY": ":" + number})
    try:
        limit = time.monotonic() + 20
        while time.monotonic() < limit and not session.program.message_boxes():
            time.sleep(0.2)
        texts = session.program.message_boxes()
        ctx.check(any("Gustav Meier" in text for text in texts),
                  "r: lost display: the program is up with the recovered measurement", repr(texts))
        began = time.monotonic()
        xvfb.kill()
        xvfb.wait()
        code = session.program.wait_exit(5)
        ctx.check(code == 0, "r: lost display: the program ends as at a signal, with 0",
                  "exit code %s after %.1f s" % (code, time.monotonic() - began))
        ctx.check(read_file(unstored) == datafile.line_of(GUSTAV) and read_file(path) == before,
                  "r: lost display: the recovery file is kept and the data file as it was")
    finally:
        session.end()
        if xvfb.poll() is None:
            xvfb.kill()


def fresh_folder(ctx, name):
    """A session folder whose data file holds the fallback standard and Anna."""
    folder = ctx.folder(name)
    with open(ctx.kind.data_path(folder), "wb") as data:
        data.write(datafile.FALLBACK + b"\r\n" + datafile.line_of(ANNA))
    return folder


def scenario_r(ctx):
    # Names long enough for the text recognition beside the list's arrow.
    folder = fresh_folder(ctx, "r-kill")
    one_copy(ctx, folder, "Bert Neumann", kill_later, "killed 2 s after the store")
    check_file(ctx, ctx.kind.data_path(folder), ["Bert Neumann"], "killed 2 s after the store")
    folder = fresh_folder(ctx, "r-end")
    if ctx.kind.name.startswith("tonolot.exe"):
        one_copy(ctx, folder, "Cora Schmidt", end_session, "the Windows session ends")
        check_file(ctx, ctx.kind.data_path(folder), ["Cora Schmidt"], "the Windows session ended")
    else:
        one_copy(ctx, folder, "Cora Schmidt", terminate, "SIGTERM")
        check_file(ctx, ctx.kind.data_path(folder), ["Cora Schmidt"], "SIGTERM")
        # Ctrl+C in the terminal the program was started from.
        folder = fresh_folder(ctx, "r-interrupt")
        one_copy(ctx, folder, "Hanna Koch", lambda session: terminate(session, signal.SIGINT),
                 "SIGINT")
        check_file(ctx, ctx.kind.data_path(folder), ["Hanna Koch"], "SIGINT")
    folder = fresh_folder(ctx, "r-recover")
    # SIGHUP here (a closed terminal), SIGTERM above: both end the program as "Schließen" does.
    if ctx.kind.name.startswith("tonolot.exe"):
        recovery(ctx, folder, end_session, "the end of the Windows session")
    else:
        recovery(ctx, folder, lambda session: terminate(session, signal.SIGHUP), "SIGHUP")
    if not ctx.kind.name.startswith("tonolot.exe"):
        lost_display(ctx, fresh_folder(ctx, "r-display"))
    folder = fresh_folder(ctx, "r-two")
    two_copies(ctx, folder, "Emil Fischer", "Dora Weber")
    check_file(ctx, ctx.kind.data_path(folder), ["Dora Weber", "Emil Fischer"], "two copies")
    partner = os.environ.get("TONOLOT_E2E_WINDOWS_PARTNER", "")
    if not ctx.kind.name.startswith("tonolot.exe") and os.path.isfile(partner):
        # The native program and tonolot.exe on one data file, as scripts/run.sh --windows
        # sets it up: their locks must see each other.
        folder = fresh_folder(ctx, "r-both")
        two_copies(ctx, folder, "Fritz Wagner", "Greta Hofmann", WineKind(partner),
                   first_closes_first=True)
        check_file(ctx, ctx.kind.data_path(folder), ["Greta Hofmann", "Fritz Wagner"],
                   "the native program beside tonolot.exe")
