#pragma once

#include "core/TColumnGrid.h"
#include "core/TCurveExtent.h"
#include "db/FbApi.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QVariant>

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

// One sample of a run as a pass over its samples reads it.
struct TSample {
    qint32 id = 0;
    int dev = INT_MIN; // INT_MIN: no DEV_ID
    bool hasTime = false;
    ISC_TIMESTAMP time{};
    qint64 ms = 0; // the time, ms since the epoch
    bool hasValue = false;
    double value = 0;

    bool isPoint() const { return hasTime && hasValue; }
    // The curve it belongs to: the load (DEV_ID 1 or 2), the deformation
    // (3), or neither (no DEV_ID, or another).
    enum Kind { Load = 0, Deformation = 1, Other = 2 };
    Kind kind() const { return dev == INT_MIN || dev > 3 ? Other : dev == 3 ? Deformation : Load; }
};

// A run's computed values as its aggregate statements give them, from one
// pass: max(mes_value), min(date_effect), and min(date_effect) of the
// samples whose value equals the maximum. NULLs take no part.
struct TRunValues {
    std::optional<double> max;
    std::optional<ISC_TIMESTAMP> start;
    std::optional<ISC_TIMESTAMP> atMax;

    void add(const TSample& s);
    QVariant maxValue() const;
    QVariant startA() const;
    QVariant timeOfMax() const;
};

// What a long run's chart and values need, kept when the run ends so that it
// opens without its samples being read again: its values, the extent of each
// curve, and its samples in buckets of time (at most kMaxBuckets) holding per
// curve their count, their first and last sample and their lowest and
// highest one, with the range of their ids. The curves reduced from it for a
// plot's columns are those reduced from every sample: a bucket that lies in
// one column gives its four samples, and the samples of a bucket that a
// column edge cuts are read again by their ids.
class TRunOverview {
public:
    static constexpr int kMaxBuckets = 16384;
    // Shorter runs are read whole when they open, fast enough.
    static constexpr qint64 kLeastSamples = 20000;

    // Samples in any order; the first one with a time fixes the buckets' origin.
    void add(const TSample& s);
    // After the last sample: buckets wide enough to hold about
    // kSamplesPerBucket samples each, so that the overview stays small
    // beside the run and a cut bucket is read again at little cost.
    void finish();
    static constexpr int kSamplesPerBucket = 32;

    qint64 points() const;
    const TRunValues& loadValues() const { return m_load; }
    const TRunValues& allValues() const { return m_all; }
    // The extent of the curve that the kinds of samples make together.
    TCurveExtent extent(const QList<int>& kinds) const;
    int buckets() const { return int(m_buckets.size()); }

    // The samples whose ids lie in [first, last], handed one by one.
    using Fetch = std::function<void(qint32 first, qint32 last,
                                     const std::function<void(const TSample&)>& sample)>;
    // Each curve, made of the kinds of samples given for it, reduced to the grid.
    QList<QList<QPointF>> reduce(const QList<QList<int>>& curves, const TColumnGrid& grid,
                                 const Fetch& fetch) const;

    QByteArray toBytes() const;
    static std::optional<TRunOverview> fromBytes(const QByteArray& bytes);

private:
    struct Pick {
        qint64 t = 0;
        qint32 id = 0;
        double v = 0;
    };
    struct Cell {
        quint32 count = 0;
        Pick first, last, low, high;
    };
    struct Bucket {
        qint32 minId = INT32_MAX;
        qint32 maxId = INT32_MIN;
        std::array<Cell, 3> cells;
    };
    static bool before(const Pick& a, const Pick& b) {
        return a.t < b.t || (a.t == b.t && a.id < b.id);
    }
    static void merge(Cell& into, const Cell& c);
    static void merge(Bucket& into, const Bucket& b);
    void coarsen();
    qint64 indexOf(qint64 ms) const;

    bool m_started = false;
    qint64 m_origin = 0; // ms of the first sample with a time
    int m_shift = 0;     // buckets are 2^m_shift ms wide
    std::map<qint64, Bucket> m_buckets;
    std::array<TCurveExtent, 3> m_extents;
    TRunValues m_load;
    TRunValues m_all;
};
