"""Reading the audiogram off a screenshot: where the chart lies and where its curves run.

A level is drawn as a distance in pixels below the plot's top line, at the column of its tone;
the plot lies 10 pixels right of the chart's left edge, 15 below its top, 15 left of its right
edge and 3 above its bottom edge. Curves are 2-pixel lines in one exact colour each.
"""

import math

WHITE = (255, 255, 255)
RED = (255, 0, 0)
BLUE = (0, 0, 255)
PALE_RED = (255, 200, 200)
PALE_BLUE = (200, 200, 255)
GREY = (200, 200, 200)


def _white_share(image, points):
    points = list(points)
    return sum(1 for x, y in points if image.pixel(x, y) == WHITE) / max(1, len(points))


def find_item(image, expected, search=6):
    """The chart's white rectangle near the expected (left, top, right, bottom), measured on the
    screenshot: each edge is the outermost column or row that is mostly white."""
    left, top, right, bottom = expected
    rows = range(top + 20, bottom - 20)
    columns = range(left + 20, right - 20)
    column_white = lambda x: _white_share(image, ((x, y) for y in rows)) > 0.6
    row_white = lambda y: _white_share(image, ((x, y) for x in columns)) > 0.6
    found_left = next((x for x in range(left - search, left + search + 1) if column_white(x)), None)
    found_right = next((x + 1 for x in range(right + search, right - search - 1, -1)
                        if column_white(x)), None)
    found_top = next((y for y in range(top - search, top + search + 1) if row_white(y)), None)
    found_bottom = next((y + 1 for y in range(bottom + search, bottom - search - 1, -1)
                         if row_white(y)), None)
    if None in (found_left, found_top, found_right, found_bottom):
        return None
    return found_left, found_top, found_right, found_bottom


def plot_of(item):
    left, top, right, bottom = item
    return left + 10, top + 15, right - 15, bottom - 3


def curve_points(item, levels):
    """Screen points of a curve: column i at plot left + i * step, level v at plot top + v."""
    plot_left, plot_top, plot_right, _ = plot_of(item)
    step = (plot_right - plot_left) // 9
    return [(plot_left + index * step, plot_top + level) for index, level in enumerate(levels)]


def _near(image, x, y, colour, radius):
    return any(image.pixel(x + dx, y + dy) == colour
               for dy in range(-radius, radius + 1) for dx in range(-radius, radius + 1))


def _distance_to_segment(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


class CurveCheck:
    """How a curve of one colour on the screenshot compares with the levels it should show."""

    def __init__(self, image, item, levels, colour, covering=()):
        self.points = curve_points(item, levels)
        _, plot_top, _, plot_bottom = plot_of(item)
        inside = lambda point: plot_top <= point[1] < plot_bottom - 1
        # Points (and midpoints of segments between two points) that lie inside the plot.
        targets = [point for point in self.points if inside(point)]
        for a, b in zip(self.points, self.points[1:]):
            if inside(a) and inside(b):
                targets.append(((a[0] + b[0]) // 2, (a[1] + b[1]) // 2))
        self.checked = 0
        self.missing = []
        self.hidden = 0
        for x, y in targets:
            if _near(image, x, y, colour, 2):
                self.checked += 1
            elif any(_near(image, x, y, other, 2) for other in covering):
                self.hidden += 1  # a curve drawn later lies over this spot
            else:
                self.missing.append((x, y))
        # Every pixel of this colour within the chart must lie on the expected polyline.
        left, top, right, bottom = item
        self.stray = []
        self.total = 0
        for y in range(top, bottom):
            for x in range(left, right):
                if image.pixel(x, y) == colour:
                    self.total += 1
                    distance = min(_distance_to_segment(x, y, a, b)
                                   for a, b in zip(self.points, self.points[1:]))
                    if distance > 2.5:
                        self.stray.append((x, y))

    @property
    def good(self):
        return self.checked >= 3 and not self.missing and not self.stray

    def describe(self):
        text = "%d places on the curve found, %d covered by a later curve" % (self.checked,
                                                                             self.hidden)
        if self.missing:
            text += ", missing at %s" % self.missing[:5]
        if self.stray:
            text += ", %d of %d pixels off the curve, e.g. %s" % (len(self.stray), self.total,
                                                                 self.stray[:3])
        return text


def mark_points(image_path, out_path, item, curves):
    """A copy of the screenshot with the expected points circled, for a person to compare."""
    import subprocess
    draw = []
    for levels, colour in curves:
        for x, y in curve_points(item, levels):
            draw += ["-stroke", colour, "-fill", "none", "-draw",
                     "circle %d,%d %d,%d" % (x, y, x + 4, y)]
    subprocess.run(["convert", image_path] + draw + [out_path], check=False)
