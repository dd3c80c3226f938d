#include "field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string OutsideFieldWarning(const Grid &grid, int columns, const double *axes, int count) {
    double reach = 0;
    for (int i = 0; i < count; ++i) reach = std::max(reach, std::max(axes[i], columns - 1 - axes[i]) + 1);
    // The point of the image nearest the axis: its pixels reach half a
    // pixel beyond the outer pixels' centres.
    const double half = grid.size * grid.pixel / 2;
    const double dx = std::max(0.0, std::fabs(grid.x0) - half), dy = std::max(0.0, std::fabs(grid.y0) - half);
    if (!(std::hypot(dx, dy) > reach)) return "";
    char line[256];
    std::snprintf(line, sizeof line,
                  "warning: the image lies outside the field of view (the rays reach %.9g detector intervals from "
                  "the axis; -o is in detector intervals): it is empty.",
                  reach);
    return line;
}
