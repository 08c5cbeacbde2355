#pragma once

// The main dialog as data: caption, font, frame and every control with its id, caption, place and
// size in dialog units, in tab order. The Windows program's resource script holds the same table
// (a test keeps the two alike); the native Linux program builds its window from this one.

enum class ControlKind {
    DefaultButton, // push button that is the dialog's default
    Button,
    Edit,     // single line, bordered, scrolls horizontally
    Chart,    // owner-drawn button: the audiogram
    Static,   // left-aligned text, no tab stop
    CheckBox, // ticks and clears itself when clicked
    DropList, // drop-down list; its height is that of the open list
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* caption; // cp1252
    int x, y, width, height;
};

struct DialogTemplate {
    const char* caption; // cp1252
    const char* fontName;
    int fontPoints;
    int x, y, width, height;
    const ControlTemplate* controls;
    int controlCount;
};

const DialogTemplate& MainDialogTemplate();

// MulDiv for non-negative values, as the platform turns dialog units into pixels: the product
// divided, rounded half up. A horizontal unit is a quarter of the font's base width, a vertical
// one an eighth of its base height.
constexpr int DialogUnitsToPixels(int units, int baseUnit, int unitsPerBase) {
    return (units * baseUnit + unitsPerBase / 2) / unitsPerBase;
}
constexpr int HorizontalPixels(int units, int baseWidth) {
    return DialogUnitsToPixels(units, baseWidth, 4);
}
constexpr int VerticalPixels(int units, int baseHeight) {
    return DialogUnitsToPixels(units, baseHeight, 8);
}
