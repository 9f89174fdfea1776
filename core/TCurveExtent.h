#pragma once

#include <QtGlobal>

// What a curve's points span: their number, their earliest and latest time
// (ms since the epoch) and their least and greatest value.
struct TCurveExtent {
    qint64 count = 0;
    double x0 = 0, x1 = 0;
    double y0 = 0, y1 = 0;

    bool operator==(const TCurveExtent&) const = default;
};
