#pragma once

// Clips a line to an axis-aligned box (Liang-Barsky): the line runs from (x0, y0) by (dx, dy),
// and [first, last] of its parameter is narrowed to where it lies within the box. False when
// none of it does. Shared by the canvases that must not hand a coordinate beyond their limits
// to what draws.
bool ClipLine(double x0, double y0, double dx, double dy, double left, double top, double right,
              double bottom, double& first, double& last);
