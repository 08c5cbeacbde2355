"""Pids of the processes the driver starts, written down so the calling script can end any
that outlive the driver (for example when the driver itself is killed)."""

_pid_file = None


def set_pid_file(path):
    global _pid_file
    _pid_file = path


def register(pid):
    if _pid_file:
        with open(_pid_file, "a") as pids:
            pids.write("%d\n" % pid)
