#pragma once

#include "core/TColumnGrid.h"

#include <QList>
#include <QPointF>

#include <vector>

// A curve as the rows it covers in each device column of a plot: the line
// through consecutive points, cut at the column edges. A column's span
// depends only on its first and last point, its lowest and highest one and
// the points next to it, which is why a curve reduced by TCurveReducer
// covers the same spans as the curve through every point.
struct TColumnSpan {
    int column;
    double top;    // device y of the highest value in the column
    double bottom; // of the lowest
};

// `points` in ascending order of time.
std::vector<TColumnSpan> curveSpans(const QList<QPointF>& points, const TColumnGrid& grid,
                                    const TRowMap& rows);

// The pixel rows a span lights: those whose centre lies within it, or the
// one that holds it when it lies between two centres.
struct TPixelRows {
    int first;
    int last;
};
TPixelRows pixelRows(const TColumnSpan& span);
