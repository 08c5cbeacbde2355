#include "chart/LineClip.h"

#include <algorithm>

bool ClipLine(double x0, double y0, double dx, double dy, double left, double top, double right,
              double bottom, double& first, double& last) {
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            first = std::max(first, t);
        } else {
            last = std::min(last, t);
        }
    }
    return first <= last;
}
