"""The data file beside the program: records joined by CR LF, each written as
name, 0xF7, " L", ten times " <level>", " R", ten times " <level>"."""

import re

FALLBACK = (b"unbekannter Standard\xf7 L 50 53 56 59 62 65 68 71 74 77"
            b" R 50 53 56 59 62 65 68 71 74 77")

_VALUES = rb"((?: -?[1-9][0-9]*| 0){10})"  # ten times " %ld"
_LINE = re.compile(rb"([^\x00\r\n\xf7]*)\xf7 L" + _VALUES + rb" R" + _VALUES)


class Record:
    def __init__(self, name, left, right):
        self.name = name  # bytes, cp1252
        self.left = left
        self.right = right

    def __repr__(self):
        return "Record(%r, %s, %s)" % (self.name, self.left, self.right)


def parse(content):
    """The records of a data file as written by the program, or None with the reason when the
    content does not keep the written format exactly (separators, spacing, no final line end)."""
    if content.endswith(b"\r\n"):
        return None, "a line end after the last record"
    records = []
    for number, line in enumerate(content.split(b"\r\n"), 1):
        match = _LINE.fullmatch(line)
        if not match:
            return None, "line %d is not a record line: %r" % (number, line[:120])
        records.append(Record(match.group(1), [int(v) for v in match.group(2).split()],
                              [int(v) for v in match.group(3).split()]))
    return records, ""


def line_of(record):
    """The exact bytes the program writes for a record."""
    return (record.name + b"\xf7 L" + b"".join(b" %d" % v for v in record.left) + b" R"
            + b"".join(b" %d" % v for v in record.right))
