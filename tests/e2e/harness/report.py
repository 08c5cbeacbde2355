"""One line per check, as it is decided, and the count at the end."""

import io
import sys
import unittest


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, condition, name, detail=""):
        if condition:
            self.passed += 1
            line = "ok - " + name
        else:
            self.failed += 1
            line = "not ok - " + name
        if detail:
            line += " (" + detail + ")"
        print(line, flush=True)
        return bool(condition)

    def note(self, text):
        print("# " + text, flush=True)

    def summary(self):
        print("%d passed, %d failed" % (self.passed, self.failed), flush=True)
        return 0 if self.failed == 0 else 1


def fail_on_exception(report, name):
    """Turns an unexpected error in a scenario into a failed check, so later scenarios still run."""
    class Guard:
        def __enter__(self):
            return self

        def __exit__(self, kind, value, traceback):
            if kind is None:
                return False
            report.check(False, name, "%s: %s" % (kind.__name__, value))
            import traceback as tb
            tb.print_exception(kind, value, traceback, file=sys.stderr)
            return True

    return Guard()


def check_harness(report):
    """Runs the harness's own tests first: a harness that misreads cannot judge the program."""
    import test_harness
    stream = io.StringIO()
    suite = unittest.defaultTestLoader.loadTestsFromModule(test_harness)
    result = unittest.TextTestRunner(stream=stream, verbosity=0).run(suite)
    ok = report.check(result.wasSuccessful(), "the harness reads made-up recordings, data files "
                      "and charts right", "%d tests" % result.testsRun)
    if not ok:
        sys.stderr.write(stream.getvalue())
    return ok
