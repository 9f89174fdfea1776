// A write whose commit goes unanswered (the server died just before or just
// after committing it): with a mark in each transaction the holding recorder
// neither writes it twice nor loses it, and a run it started keeps its id.
#include "acquisition/THoldingRecorder.h"
#include "core/Exception.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

struct Row {
    bool start;
    int run;
    double value;
};

// A server with transactions whose next commit can be lost before it lands
// or after, the server gone with it; `away` refuses everything, as a server
// that is not there.
struct Server : TRecorder {
    enum class Commit { Answered, LostBefore, LostAfter };
    Commit next = Commit::Answered;
    bool away = false;
    bool cannotTell = false; // the mark's row is still locked
    int nextId = 100;
    QList<Row> rows;
    qint64 mark = 0;
    QList<Row> pending;
    qint64 pendingMark = 0;

    void refuse() const {
        if (away)
            throw Exception("Error reading data from the connection.");
    }
    int StartRun(int) override { throw std::logic_error("a moment must be given"); }
    void AddSample(int, int, double, double) override {
        throw std::logic_error("a moment must be given");
    }
    int StartRunAt(int, const QDateTime&) override {
        refuse();
        pending.append({true, nextId, 0});
        return nextId++;
    }
    void AddSampleAt(int run, int, double v, double, const QDateTime&) override {
        refuse();
        pending.append({false, run, v});
    }
    bool inOneTransaction(const std::function<void()>& writes) override {
        pending.clear();
        pendingMark = mark;
        writes();
        const Commit c = std::exchange(next, Commit::Answered);
        away = c != Commit::Answered;
        if (c == Commit::LostBefore)
            throw Exception("Error writing data to the connection.");
        rows += pending;
        mark = pendingMark;
        refuse();
        return true;
    }
};

struct Log : TEventLog {
    void WriteLog(const QString&, const QString&) override {}
};

enum class What { Sample, RunStart, HeldBatch };
struct Case {
    const char* name;
    What what;
    Server::Commit commit;
};

TEST(HoldingRecorderWithMarks, AnUnansweredCommitIsWrittenOnceWhetherItLandedOrNot) {
    const Case cases[] = {
        {"a sample, landed", What::Sample, Server::Commit::LostAfter},
        {"a sample, not landed", What::Sample, Server::Commit::LostBefore},
        {"a run's start, landed", What::RunStart, Server::Commit::LostAfter},
        {"a run's start, not landed", What::RunStart, Server::Commit::LostBefore},
        {"a held batch with a start, landed", What::HeldBatch, Server::Commit::LostAfter},
        {"a held batch with a start, not landed", What::HeldBatch, Server::Commit::LostBefore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Server server;
        Log log;
        THoldingRecorder rec(server, log);
        rec.Mark = [&](qint64 n) { server.pendingMark = n; };
        rec.Landed = [&](qint64 n) {
            server.refuse();
            if (server.cannotTell)
                throw Exception("lock time-out on wait transaction");
            return server.mark == n;
        };
        const int first = rec.StartRun(1);
        rec.AddSample(first, 1, 1, 0);
        int second = 0;
        if (c.what == What::HeldBatch) {
            server.away = true;
            rec.AddSample(first, 1, 2, 0);
            second = rec.StartRun(1);
            rec.AddSample(second, 1, 3, 0);
            server.away = false;
            server.next = c.commit;
            EXPECT_FALSE(rec.retry(-1));
        } else {
            server.next = c.commit;
            if (c.what == What::RunStart)
                second = rec.StartRun(1);
            const int run = second ? second : first;
            rec.AddSample(run, 1, 2, 0);
            rec.AddSample(run, 1, 3, 0);
        }
        ASSERT_TRUE(rec.failing());
        rec.AddSample(second ? second : first, 1, 4, 0); // held behind it
        server.away = false;
        server.cannotTell = true;
        const qsizetype before = server.rows.size();
        EXPECT_FALSE(rec.retry(-1)); // still in doubt: nothing written meanwhile
        EXPECT_EQ(server.rows.size(), before);
        server.cannotTell = false;
        ASSERT_TRUE(rec.retry(-1));
        EXPECT_FALSE(rec.failing());

        QList<double> values;
        QList<int> starts;
        for (const Row& r : std::as_const(server.rows)) {
            if (r.start) {
                starts.append(r.run);
                continue;
            }
            values.append(r.value);
            EXPECT_TRUE(starts.contains(r.run)) << r.value; // its run was written before it
        }
        EXPECT_EQ(values, (QList<double>{1, 2, 3, 4}));
        EXPECT_EQ(starts.size(), second ? 2 : 1);
        if (second) {
            EXPECT_EQ(rec.realId(second), starts.last());
            EXPECT_EQ(server.rows.last().run, starts.last());
        }
    }
}

} // namespace
