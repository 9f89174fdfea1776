#include "db/TRunOverview.h"

#include "core/TCurveReducer.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace {

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

constexpr quint32 kMagic = 0x4E55564F; // "NUVO"
constexpr quint32 kVersion = 1;

void writeStamp(QDataStream& out, const std::optional<ISC_TIMESTAMP>& t) {
    out << bool(t) << quint32(t ? t->timestamp_date : 0) << quint32(t ? t->timestamp_time : 0);
}

std::optional<ISC_TIMESTAMP> readStamp(QDataStream& in) {
    bool has = false;
    quint32 date = 0, time = 0;
    in >> has >> date >> time;
    if (!has)
        return std::nullopt;
    ISC_TIMESTAMP t;
    t.timestamp_date = ISC_DATE(date);
    t.timestamp_time = ISC_TIME(time);
    return t;
}

void writeValues(QDataStream& out, const TRunValues& v) {
    out << bool(v.max) << (v.max ? *v.max : 0.0);
    writeStamp(out, v.start);
    writeStamp(out, v.atMax);
}

TRunValues readValues(QDataStream& in) {
    TRunValues v;
    bool has = false;
    double max = 0;
    in >> has >> max;
    if (has)
        v.max = max;
    v.start = readStamp(in);
    v.atMax = readStamp(in);
    return v;
}

} // namespace

void TRunValues::add(const TSample& s) {
    if (s.hasTime && (!start || fb::before(s.time, *start)))
        start = s.time;
    if (!s.hasValue)
        return;
    if (!max || s.value > *max) {
        max = s.value;
        atMax.reset();
    }
    if (s.value == *max && s.hasTime && (!atMax || fb::before(s.time, *atMax)))
        atMax = s.time;
}

QVariant TRunValues::maxValue() const {
    return max ? QVariant(*max) : QVariant();
}

QVariant TRunValues::startA() const {
    return start ? QVariant(fb::decodeTimestamp(*start)) : QVariant();
}

QVariant TRunValues::timeOfMax() const {
    return atMax ? QVariant(fb::decodeTimestamp(*atMax)) : QVariant();
}

qint64 TRunOverview::indexOf(qint64 ms) const {
    return floorDiv(ms - m_origin, qint64(1) << m_shift);
}

void TRunOverview::merge(Cell& into, const Cell& c) {
    if (c.count == 0)
        return;
    if (into.count == 0) {
        into = c;
        return;
    }
    into.count += c.count;
    if (before(c.first, into.first))
        into.first = c.first;
    if (before(into.last, c.last))
        into.last = c.last;
    if (c.low.v < into.low.v || (c.low.v == into.low.v && before(c.low, into.low)))
        into.low = c.low;
    if (c.high.v > into.high.v || (c.high.v == into.high.v && before(c.high, into.high)))
        into.high = c.high;
}

void TRunOverview::merge(Bucket& into, const Bucket& b) {
    into.minId = std::min(into.minId, b.minId);
    into.maxId = std::max(into.maxId, b.maxId);
    for (size_t k = 0; k < into.cells.size(); ++k)
        merge(into.cells[k], b.cells[k]);
}

// Buckets twice as wide: each pair merges into one, exactly.
void TRunOverview::coarsen() {
    std::map<qint64, Bucket> wider;
    for (const auto& [index, b] : m_buckets)
        merge(wider[floorDiv(index, 2)], b);
    m_buckets = std::move(wider);
    ++m_shift;
}

void TRunOverview::add(const TSample& s) {
    m_all.add(s);
    if (s.kind() == TSample::Load)
        m_load.add(s);
    if (!s.isPoint())
        return;
    if (!m_started) {
        m_started = true;
        m_origin = s.ms;
    }
    TCurveExtent& e = m_extents[size_t(s.kind())];
    const double x = double(s.ms);
    if (e.count++ == 0) {
        e.x0 = e.x1 = x;
        e.y0 = e.y1 = s.value;
    } else {
        e.x0 = std::min(e.x0, x);
        e.x1 = std::max(e.x1, x);
        e.y0 = std::min(e.y0, s.value);
        e.y1 = std::max(e.y1, s.value);
    }
    Bucket one;
    one.minId = one.maxId = s.id;
    const Pick p{s.ms, s.id, s.value};
    one.cells[size_t(s.kind())] = {1, p, p, p, p};
    merge(m_buckets[indexOf(s.ms)], one);
    while (int(m_buckets.size()) > kMaxBuckets)
        coarsen();
}

void TRunOverview::finish() {
    const qint64 enough = std::max<qint64>(256, points() / kSamplesPerBucket);
    while (qint64(m_buckets.size()) > enough)
        coarsen();
}

qint64 TRunOverview::points() const {
    qint64 n = 0;
    for (const TCurveExtent& e : m_extents)
        n += e.count;
    return n;
}

TCurveExtent TRunOverview::extent(const QList<int>& kinds) const {
    TCurveExtent out;
    for (int k : kinds) {
        const TCurveExtent& e = m_extents[size_t(k)];
        if (e.count == 0)
            continue;
        if (out.count == 0) {
            out = e;
            continue;
        }
        out.count += e.count;
        out.x0 = std::min(out.x0, e.x0);
        out.x1 = std::max(out.x1, e.x1);
        out.y0 = std::min(out.y0, e.y0);
        out.y1 = std::max(out.y1, e.y1);
    }
    return out;
}

QList<QList<QPointF>> TRunOverview::reduce(const QList<QList<int>>& curves, const TColumnGrid& grid,
                                           const Fetch& fetch) const {
    std::vector<TCurveReducer> reducers(size_t(curves.size()), TCurveReducer(grid));
    // The curve that each kind of sample goes to, or -1.
    std::array<int, 3> curveOf{-1, -1, -1};
    for (int c = 0; c < curves.size(); ++c)
        for (int k : curves[c])
            curveOf[size_t(k)] = c;
    const auto addPick = [&](int kind, const Pick& p) {
        if (curveOf[size_t(kind)] >= 0)
            reducers[size_t(curveOf[size_t(kind)])].add(double(p.t), p.v, p.id);
    };
    // Buckets cut by a column edge, as ranges of ids read again in one go
    // when they follow each other.
    std::vector<std::pair<qint32, qint32>> cut;
    for (const auto& [index, b] : m_buckets) {
        qint64 first = LLONG_MAX, last = LLONG_MIN;
        for (const Cell& c : b.cells) {
            if (c.count == 0)
                continue;
            first = std::min(first, c.first.t);
            last = std::max(last, c.last.t);
        }
        if (grid.column(double(first)) == grid.column(double(last))) {
            for (size_t k = 0; k < b.cells.size(); ++k) {
                const Cell& c = b.cells[k];
                if (c.count == 0)
                    continue;
                for (const Pick& p : {c.first, c.low, c.high, c.last})
                    addPick(int(k), p);
            }
            continue;
        }
        if (!cut.empty() && b.minId <= cut.back().second + 1 && b.maxId >= cut.back().first) {
            cut.back().first = std::min(cut.back().first, b.minId);
            cut.back().second = std::max(cut.back().second, b.maxId);
        } else {
            cut.emplace_back(b.minId, b.maxId);
        }
    }
    for (const auto& [from, to] : cut)
        fetch(from, to, [&](const TSample& s) {
            if (s.isPoint())
                addPick(s.kind(), {s.ms, s.id, s.value});
        });
    QList<QList<QPointF>> out;
    for (const TCurveReducer& r : reducers)
        out.append(r.points());
    return out;
}

QByteArray TRunOverview::toBytes() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << m_started << m_origin << qint32(m_shift);
    for (const TCurveExtent& e : m_extents)
        out << e.count << e.x0 << e.x1 << e.y0 << e.y1;
    writeValues(out, m_load);
    writeValues(out, m_all);
    out << quint32(m_buckets.size());
    for (const auto& [index, b] : m_buckets) {
        out << index << b.minId << b.maxId;
        for (const Cell& c : b.cells) {
            out << c.count;
            if (c.count == 0)
                continue;
            for (const Pick& p : {c.first, c.last, c.low, c.high})
                out << p.t << p.id << p.v;
        }
    }
    return bytes;
}

std::optional<TRunOverview> TRunOverview::fromBytes(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0, version = 0;
    in >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return std::nullopt;
    TRunOverview o;
    qint32 shift = 0;
    in >> o.m_started >> o.m_origin >> shift;
    o.m_shift = shift;
    for (TCurveExtent& e : o.m_extents)
        in >> e.count >> e.x0 >> e.x1 >> e.y0 >> e.y1;
    o.m_load = readValues(in);
    o.m_all = readValues(in);
    quint32 buckets = 0;
    in >> buckets;
    for (quint32 i = 0; i < buckets && in.status() == QDataStream::Ok; ++i) {
        qint64 index = 0;
        Bucket b;
        in >> index >> b.minId >> b.maxId;
        for (Cell& c : b.cells) {
            in >> c.count;
            if (c.count == 0)
                continue;
            for (Pick* p : {&c.first, &c.last, &c.low, &c.high})
                in >> p->t >> p->id >> p->v;
        }
        o.m_buckets.emplace_hint(o.m_buckets.end(), index, b);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return o;
}
