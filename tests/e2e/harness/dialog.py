"""Where the controls of the main dialog lie on the screen.

The dialog template gives positions in dialog units; Windows (and Wine) turn them into pixels
with the dialog font's base units, rounding as MulDiv does, and the native program does the same
with the desktop font's. The base units are measured from the size of the dialog's client area
rather than assumed.
"""

DIALOG_UNITS = (310, 229)

# Id: (x, y, width, height) in dialog units.
CONTROLS = {
    "close": (258, 54, 48, 15),
    "new_test": (126, 30, 50, 14),
    "name": (6, 6, 108, 12),
    "chart": (6, 78, 300, 144),
    "start_left": (6, 30, 50, 14),
    "start_right": (6, 54, 50, 14),
    "heard": (66, 30, 48, 38),
    "status": (126, 60, 42, 8),
    "aid": (126, 48, 73, 10),
    "list": (186, 6, 120, 265),
    "store": (126, 6, 50, 14),
    "comparison": (186, 30, 120, 12),
}


def mul_div(value, numerator, denominator):
    """MulDiv for non-negative values: the product divided, rounded half up."""
    return (value * numerator + denominator // 2) // denominator


class DialogLayout:
    def __init__(self, client_x, client_y, client_width, client_height):
        self.x = client_x
        self.y = client_y
        self.base_x = self._base(DIALOG_UNITS[0], 4, client_width)
        self.base_y = self._base(DIALOG_UNITS[1], 8, client_height)

    @staticmethod
    def _base(units, per_base, pixels):
        for base in range(4, 40):
            if mul_div(units, base, per_base) == pixels:
                return base
        raise ValueError("no base unit gives %d pixels for %d dialog units" % (pixels, units))

    def rect(self, name):
        """Screen rectangle (left, top, right, bottom) of a control; right and bottom exclusive."""
        x, y, width, height = CONTROLS[name]
        left = self.x + mul_div(x, self.base_x, 4)
        top = self.y + mul_div(y, self.base_y, 8)
        return (left, top, left + mul_div(width, self.base_x, 4),
                top + mul_div(height, self.base_y, 8))

    def centre(self, name):
        left, top, right, bottom = self.rect(name)
        return (left + right) // 2, (top + bottom) // 2

    def combo_field(self):
        """The closed drop-down list: one text line high (its template height is the list's)."""
        left, top, right, _ = self.rect("list")
        return left, top, right, top + mul_div(12, self.base_y, 8) + 2
