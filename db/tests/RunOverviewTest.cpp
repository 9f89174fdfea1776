// A run's overview gives the curves and values that its samples give.
#include "core/TCurveReducer.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TRunData.h"
#include "db/TRunReader.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const QDateTime kStart(QDate(2024, 3, 5), QTime(9, 0));

TSample sample(qint32 id, int dev, qint64 ms, double v) {
    TSample s;
    s.id = id;
    s.dev = dev;
    s.hasTime = true;
    s.time = fb::encodeTimestamp(kStart.addMSecs(ms));
    s.ms = fb::timestampMs(s.time);
    s.hasValue = true;
    s.value = v;
    return s;
}

// A press run: loads every 300 ms, whole seconds as stored, a repeated maximum.
std::vector<TSample> press(int n, std::mt19937& rng) {
    std::normal_distribution<double> noise(0, 2);
    std::vector<TSample> out;
    for (int i = 0; i < n; ++i)
        out.push_back(sample(1000 + i, 1, (i * 300) / 1000 * 1000,
                             std::min(800.0, 1000.0 * i / n + noise(rng))));
    return out;
}

// A frame run: a load and a deformation at each step, the same moment.
std::vector<TSample> frame(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> v(0, 30);
    std::vector<TSample> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(sample(2 * i, 2, i * 500, v(rng)));
        out.push_back(sample(2 * i + 1, 3, i * 500, v(rng) / 3));
    }
    return out;
}

// Samples written out of order, some without a time, a value or a device.
std::vector<TSample> untidy(int n, std::mt19937& rng) {
    std::vector<TSample> out = press(n, rng);
    std::shuffle(out.begin(), out.end(), rng);
    out[3].hasTime = false;
    out[5].hasValue = false;
    out[7].dev = INT_MIN;
    out[9].dev = 3;
    return out;
}

struct Everything {
    QList<QList<QPointF>> curves;
    TRunValues values;
};

// What reading every sample gives.
Everything fromEverySample(const std::vector<TSample>& samples, TRunData::Curves curves,
                           const TColumnGrid& grid) {
    const auto kinds = TRunData::curveKinds(curves);
    std::vector<TCurveReducer> reducers(size_t(kinds.size()), TCurveReducer(grid));
    Everything e;
    for (const TSample& s : samples) {
        if (curves == TRunData::Curves::All || s.kind() == TSample::Load)
            e.values.add(s);
        for (int c = 0; c < kinds.size(); ++c)
            if (s.isPoint() && kinds[c].contains(int(s.kind())))
                reducers[size_t(c)].add(double(s.ms), s.value, s.id);
    }
    for (const TCurveReducer& r : reducers)
        e.curves.append(r.points());
    return e;
}

TEST(RunOverview, GivesTheCurvesAndValuesOfEverySample) {
    const struct {
        const char* run;
        std::vector<TSample> (*make)(int, std::mt19937&);
        int n;
    } cases[] = {{"press", press, 100000}, {"frame", frame, 30000}, {"untidy", untidy, 40000}};
    for (const auto& c : cases) {
        std::mt19937 rng(11);
        const std::vector<TSample> samples = c.make(c.n, rng);
        TRunOverview built;
        for (const TSample& s : samples)
            built.add(s);
        EXPECT_LE(built.buckets(), TRunOverview::kMaxBuckets) << c.run;
        built.finish();
        EXPECT_LE(built.buckets(), int(samples.size()) / TRunOverview::kSamplesPerBucket) << c.run;
        const auto kept = TRunOverview::fromBytes(built.toBytes());
        ASSERT_TRUE(kept) << c.run;
        std::vector<TSample> byId = samples;
        std::sort(byId.begin(), byId.end(),
                  [](const TSample& a, const TSample& b) { return a.id < b.id; });
        qint64 reread = 0;
        const TRunOverview::Fetch fetch = [&](qint32 first, qint32 last, const auto& give) {
            auto it = std::lower_bound(byId.begin(), byId.end(), first,
                                       [](const TSample& s, qint32 id) { return s.id < id; });
            for (; it != byId.end() && it->id <= last; ++it, ++reread)
                give(*it);
        };
        for (const auto curves : {TRunData::Curves::All, TRunData::Curves::LoadAndDeformation}) {
            const auto kinds = TRunData::curveKinds(curves);
            const TCurveExtent e = kept->extent(kinds.first());
            for (const double width : {611.0, 9923.5}) {
                const TColumnGrid grid{e.x0, e.x1, 80.375, width};
                const Everything want = fromEverySample(samples, curves, grid);
                reread = 0;
                EXPECT_EQ(kept->reduce(kinds, grid, fetch), want.curves) << c.run << " " << width;
                if (width < 1000) // only buckets that a column edge cuts are read again
                    EXPECT_LT(reread, 2 * 612 * qint64(samples.size()) / kept->buckets()) << c.run;
                const TRunValues& v =
                    curves == TRunData::Curves::All ? kept->allValues() : kept->loadValues();
                EXPECT_EQ(v.maxValue(), want.values.maxValue()) << c.run;
                EXPECT_EQ(v.startA(), want.values.startA()) << c.run;
                EXPECT_EQ(v.timeOfMax(), want.values.timeOfMax()) << c.run;
            }
        }
    }
    EXPECT_FALSE(TRunOverview::fromBytes(QByteArray("not an overview")));
}

class OverviewDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_dir.path() + "/NUV.GDB");
        m_dm.dbNUV.DatabaseName = m_dir.path() + "/NUV.GDB";
        m_dm.dbNUV.Open();
    }
    // A run's samples written in one transaction, as a recording leaves them.
    void addSamples(int run, int n) {
        execSql(m_dm.dbNUV, "insert into mes(mes_id, dev_id, dt_start) values(?, 1, ?)", {},
                {run, kStart});
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        q.setSQL("insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed) "
                 "values(gen_id(gen_mes_de_id, 1), ?, ?, ?, 1, 0)");
        for (int i = 0; i < n; ++i) {
            q.setParams({run, i == 77 ? QVariant() : QVariant(double(i % 5000) / 10),
                         kStart.addSecs(i / 3)});
            q.ExecSQL();
        }
        tr.Commit();
    }
    QTemporaryDir m_dir;
    TdmMain m_dm;
};

TEST_F(OverviewDbTest, AnEndedRunOpensFromItsOverviewAsFromItsSamples) {
    addSamples(7, 30000);
    addSamples(8, 500);
    TIBQuery q(m_dm.dbNUV, m_dm.trMain);
    EXPECT_FALSE(TRunReader(q, 7, TRunData::Curves::All).fromOverview());
    m_dm.EndRun(7);
    m_dm.EndRun(8); // too short to keep one
    m_dm.trMain.Restart();
    EXPECT_FALSE(TRunReader(q, 8, TRunData::Curves::All).fromOverview());
    for (const auto curves : {TRunData::Curves::All, TRunData::Curves::LoadAndDeformation}) {
        const TRunReader reader(q, 7, curves);
        ASSERT_TRUE(reader.fromOverview());
        EXPECT_EQ(reader.extents().first().count, 29999);
        EXPECT_EQ(reader.extents(), TRunData::extents(q, 7, curves));
        const TColumnGrid grid{reader.extents()[0].x0, reader.extents()[0].x1, 57.5, 640};
        const TRunData::Pass overview = reader.read(grid);
        const TRunData::Pass samples = TRunData::read(q, 7, curves, grid);
        EXPECT_EQ(overview.curves, samples.curves);
        EXPECT_EQ(overview.maxValue, samples.maxValue);
        EXPECT_EQ(overview.startA, samples.startA);
        EXPECT_EQ(overview.timeOfMax, samples.timeOfMax);
        EXPECT_EQ(overview.maxValue.toDouble(), 499.9);
    }
    // Deleting the run takes its overview with it.
    execSql(m_dm.dbNUV, "delete from mes_de where mes_id = 7");
    execSql(m_dm.dbNUV, "delete from mes where mes_id = 7");
    EXPECT_TRUE(selectRows(m_dm.dbNUV, "select * from mes_overview").isEmpty());
}

} // namespace
