#pragma once

#include <cmath>

// The device pixel columns of a plot along its time axis: where a time lands
// when the curve is drawn, and so which samples share a column when a long
// run is reduced to what can be seen. One grid serves both, so that a reduced
// curve and the full one fall into the same columns.
struct TColumnGrid {
    double x0 = 0;    // the axis' first time, ms since the epoch
    double x1 = 0;    // its last
    double left = 0;  // the plot's left edge, device pixels
    double width = 0; // the plot's width, device pixels

    bool valid() const { return width >= 1 && x1 > x0; }
    double deviceX(double x) const { return left + (x - x0) * (width / (x1 - x0)); }
    int column(double x) const { return int(std::floor(deviceX(x))); }
    int firstColumn() const { return int(std::floor(left)); }
    int lastColumn() const { return int(std::floor(left + width)); }
    int columns() const { return lastColumn() - firstColumn() + 1; }

    bool operator==(const TColumnGrid&) const = default;
    // The same grid up to the rounding of two ways of computing it.
    bool near(const TColumnGrid& o) const {
        const auto close = [](double a, double b) { return std::abs(a - b) < 1e-3; };
        return x0 == o.x0 && x1 == o.x1 && close(left, o.left) && close(width, o.width);
    }
};

// Where a value lands on the plot's rows, device pixels, larger values higher.
struct TRowMap {
    double y0 = 0;     // the value axis' least value
    double y1 = 1;     // its greatest
    double top = 0;    // the plot's top edge
    double height = 0; // and its height

    double deviceY(double v) const { return top + (y1 - v) * (height / (y1 - y0)); }
};
