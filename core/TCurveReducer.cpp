#include "core/TCurveReducer.h"

#include <algorithm>

TCurveReducer::TCurveReducer(const TColumnGrid& grid)
    : m_grid(grid), m_base(grid.firstColumn()), m_slots(size_t(std::max(1, grid.columns()))) {}

void TCurveReducer::add(double x, double y, std::int64_t seq) {
    ++m_added;
    // A point beyond the grid (none is, when the grid spans the curve's
    // times) is kept in the nearest column rather than lost.
    const int c = std::clamp(m_grid.column(x) - m_base, 0, int(m_slots.size()) - 1);
    Slot& s = m_slots[size_t(c)];
    const Pick p{seq, QPointF(x, y)};
    if (!s.used) {
        s.used = true;
        s.first = s.last = s.low = s.high = p;
        return;
    }
    if (before(p, s.first))
        s.first = p;
    if (before(s.last, p))
        s.last = p;
    if (y < s.low.at.y() || (y == s.low.at.y() && before(p, s.low)))
        s.low = p;
    if (y > s.high.at.y() || (y == s.high.at.y() && before(p, s.high)))
        s.high = p;
}

QList<QPointF> TCurveReducer::points() const {
    QList<QPointF> out;
    for (const Slot& s : m_slots) {
        if (!s.used)
            continue;
        Pick picks[] = {s.first, s.low, s.high, s.last};
        std::sort(std::begin(picks), std::end(picks), before);
        for (int i = 0; i < 4; ++i)
            if (i == 0 || before(picks[i - 1], picks[i]))
                out.append(picks[i].at);
    }
    return out;
}

QList<QPointF> TCurveReducer::reduce(const QList<QPointF>& sorted, const TColumnGrid& grid) {
    TCurveReducer r(grid);
    std::int64_t seq = 0;
    for (const QPointF& p : sorted)
        r.add(p.x(), p.y(), seq++);
    return r.points();
}
