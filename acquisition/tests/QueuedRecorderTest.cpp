#include "acquisition/TQueuedRecorder.h"
#include "testsupport/QtWait.h"

#include <QDateTime>

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// A writer that can be held up, as a server that does not answer would; it
// keeps what it was given and numbers runs as the database would.
class GatedWriter : public TRecording {
public:
    struct Shared {
        std::mutex m;
        std::condition_variable cv;
        bool open = true;
        QStringList written;
        int finished = 0;
    };
    explicit GatedWriter(Shared& s) : m_s(s) {}

    int StartRun(int d) override { return StartRunAt(d, {}); }
    void AddSample(int r, int d, double v, double s) override { AddSampleAt(r, d, v, s, {}); }
    int StartRunAt(int device, const QDateTime& at) override {
        pass();
        const int id = ++m_lastId + 40;
        note(QStringLiteral("run %1 dev %2 at %3").arg(id).arg(device).arg(at.time().msec()));
        return id;
    }
    void AddSampleAt(int run, int, double value, double, const QDateTime&) override {
        pass();
        note(QStringLiteral("sample %1 of %2").arg(value).arg(run));
    }
    int realId(int run) const override { return run; }
    bool finish(int) override {
        std::lock_guard l(m_s.m);
        ++m_s.finished;
        return true;
    }
    void setObserver(TRecorderObserver*) override {}
    bool failing() const override { return false; }
    QString cause() const override { return {}; }

private:
    void pass() {
        std::unique_lock l(m_s.m);
        m_s.cv.wait(l, [&] { return m_s.open; });
    }
    void note(const QString& line) {
        std::lock_guard l(m_s.m);
        m_s.written.append(line);
    }
    Shared& m_s;
    int m_lastId = 0;
};

qsizetype writtenCount(GatedWriter::Shared& s) {
    std::lock_guard l(s.m);
    return s.written.size();
}

// While the writer is stuck (a server that does not answer), runs and
// samples are taken at once with their own moments; once it answers again
// everything is written in order and the runs get their database ids.
TEST(QueuedRecorder, TheCallerNeverWaitsAndNothingIsLostOrReordered) {
    GatedWriter::Shared shared;
    TFixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 100)));
    TQueuedRecorder rec([&] { return std::make_unique<GatedWriter>(shared); }, clock);
    {
        std::lock_guard l(shared.m);
        shared.open = false;
    }
    const int first = rec.StartRun(1);
    for (int i = 0; i < 1000; ++i)
        rec.AddSample(first, 1, i, 0);
    clock.advance(7);
    const int second = rec.StartRun(2);
    rec.AddSample(second, 2, 5000, 0);
    EXPECT_GE(first, TQueuedRecorder::kFirstQueued);
    EXPECT_NE(first, second);
    EXPECT_EQ(rec.realId(first), first); // not written yet

    {
        std::lock_guard l(shared.m);
        shared.open = true;
    }
    shared.cv.notify_all();
    ASSERT_TRUE(serveUntil([&] { return writtenCount(shared) == 1003; }, 10000));
    std::lock_guard l(shared.m);
    EXPECT_EQ(shared.written.first(), "run 41 dev 1 at 100");
    EXPECT_EQ(shared.written[1], "sample 0 of 41");
    EXPECT_EQ(shared.written[1000], "sample 999 of 41");
    EXPECT_EQ(shared.written[1001], "run 42 dev 2 at 107");
    EXPECT_EQ(shared.written[1002], "sample 5000 of 42");
}

TEST(QueuedRecorder, FinishWritesWhatIsQueuedAndIdsArePublished) {
    GatedWriter::Shared shared;
    auto rec =
        std::make_unique<TQueuedRecorder>([&] { return std::make_unique<GatedWriter>(shared); });
    const int run = rec->StartRun(1);
    rec->AddSample(run, 1, 1.5, 0);
    EXPECT_TRUE(rec->finish(1000));
    EXPECT_EQ(rec->realId(run), 41);
    EXPECT_EQ(writtenCount(shared), 2);
    rec.reset();
    EXPECT_EQ(shared.finished, 1);
}

} // namespace
