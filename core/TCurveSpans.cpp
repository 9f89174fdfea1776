#include "core/TCurveSpans.h"

#include <algorithm>
#include <cmath>

namespace {

void extend(std::vector<TColumnSpan>& spans, int column, double y) {
    if (!spans.empty() && spans.back().column == column) {
        spans.back().top = std::min(spans.back().top, y);
        spans.back().bottom = std::max(spans.back().bottom, y);
        return;
    }
    spans.push_back({column, y, y});
}

} // namespace

std::vector<TColumnSpan> curveSpans(const QList<QPointF>& points, const TColumnGrid& grid,
                                    const TRowMap& rows) {
    std::vector<TColumnSpan> spans;
    double px = 0, py = 0;
    int pc = 0;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const double x = grid.deviceX(points[i].x());
        const double y = rows.deviceY(points[i].y());
        const int c = int(std::floor(x));
        // The line from the previous point crosses the edges between its
        // column and this one; each column it passes takes its height there.
        if (i > 0 && c > pc) {
            for (int edge = pc + 1; edge <= c; ++edge) {
                const double ye = py + (y - py) * ((edge - px) / (x - px));
                extend(spans, edge - 1, ye);
                extend(spans, edge, ye);
            }
        }
        extend(spans, c, y);
        px = x;
        py = y;
        pc = c;
    }
    return spans;
}

TPixelRows pixelRows(const TColumnSpan& span) {
    const int first = int(std::ceil(span.top - 0.5));
    const int last = int(std::floor(span.bottom - 0.5));
    if (first <= last)
        return {first, last};
    const int only = int(std::floor((span.top + span.bottom) / 2));
    return {only, only};
}
