"""Pids of the processes the driver starts, written down so the calling script can end any
that outlive the driver (for example when the driver itself is killed)."""

_pid_file = None


def set_pid_file(path):
    global _pid_file
    _pid_file = path


def register(pid, name):
    """Notes a child's pid with a name that its command line contains, so that a pid handed on
    to another process is not taken for it."""
    if _pid_file:
        with open(_pid_file, "a") as pids:
            pids.write("%d %s\n" % (pid, name))
