#pragma once

#include "acquisition/TRecorderObserver.h"
#include "acquisition/TRecording.h"
#include "core/TClock.h"
#include "core/TEventLog.h"
#include "db/TRecorder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

// Records through the real recorder and, while the database refuses writes
// (disk full, connection lost), holds the refused operation and every later
// one in memory, in order, each with the moment it happened. They are written
// in that order as soon as the database takes them again: at the next
// operation and once a second. A run started while failing gets a provisional
// id that later samples use; it is swapped for the real id when written.
class THoldingRecorder : public TRecording {
public:
    THoldingRecorder(TRecorder& target, TEventLog& log, const TClock& clock = TClock::program(),
                     qsizetype capacity = kCapacity);
    ~THoldingRecorder() override;
    THoldingRecorder(const THoldingRecorder&) = delete;
    THoldingRecorder& operator=(const THoldingRecorder&) = delete;

    int StartRun(int DeviceId) override;
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;
    // Held, in order, like a sample.
    void EndRun(int RunId) override;

    // Writes what is held, in order, until the database refuses again or
    // budgetMs has passed (no limit when negative). True when nothing is
    // held any more.
    bool retry(int budgetMs = kRetryBudgetMs);

    // The last try when the program closes: up to budgetMs of writing; what
    // is still held then is named in the log. True when nothing was left.
    bool finish(int budgetMs = kFinishBudgetMs) override;

    void setObserver(TRecorderObserver* observer) override { m_observer = observer; }
    // Runs after every refused write, e.g. to end the refused transaction so
    // that nothing of it is committed twice.
    std::function<void()> AfterFailure;
    // Runs before held operations are tried again, e.g. to reconnect; a
    // failure here counts as a refusal.
    std::function<void()> BeforeRetry;
    // For a database across a network, where a commit can land although its
    // answer is lost with the connection: Mark(n) runs inside every write's
    // transaction after its statements, n counting the transactions up, and
    // Landed(n), once the database answers again, says whether the
    // transaction that marked n was committed after all (it throws while
    // that cannot be told yet). Then what a write whose commit went
    // unanswered wrote is neither written twice nor lost, and a run it
    // started keeps the id it got. Without them every write goes in the
    // target's own way and a failed one counts as not written.
    std::function<void(qint64)> Mark;
    std::function<bool(qint64)> Landed;

    bool failing() const override { return m_episode; }
    qsizetype held() const { return m_heldSamples; }
    qint64 dropped() const { return m_dropped; }
    QString cause() const override { return m_cause; }
    // The database id of a run, provisional or not (the provisional one
    // itself while its run is still held).
    int realId(int run) const override { return m_realId.value(run, run); }

    static constexpr qsizetype kCapacity = 1000000;
    // A message that rejects the statement itself rather than the writing.
    static bool isStatementFault(const QString& message);

    static constexpr int kRetryMs = 1000;
    static constexpr int kRetryBudgetMs = 200;
    static constexpr int kFinishBudgetMs = 3000;
    // Held operations written in one transaction at the most.
    static constexpr qsizetype kBatch = 500;
    // Provisional run ids lie far above any id the database hands out.
    static constexpr int kFirstProvisional = 1000000000;

private:
    struct Op {
        bool start;
        int device;
        int run; // the caller's run id (provisional or real); for a start, the provisional id
        double value;
        double speed;
        qint64 atMs;
        bool end = false; // the run's end: its seal
        bool sample() const { return !start && !end; }
    };
    // The held operations at the front that went in a transaction whose
    // commit failed without an answer, and the ids of the runs they started.
    struct Doubt {
        qint64 batch;
        qsizetype ops;
        QHash<int, int> started;
    };
    void write(const Op& op);
    void writeMarked(const Op& op);
    bool inTransaction(const std::function<qsizetype()>& writes);
    void settle();
    void writeHeld(const QElapsedTimer& spent, int budgetMs);
    void writeFront();
    void popFront();
    void put(const Op& op);
    void refusedOrRethrow(const std::exception& e);
    void dropRejected(const QString& message);
    void undo();
    void hold(const Op& op);
    void failed(const QString& cause);
    void recovered();
    void tell();

    TRecorder& m_target;
    TEventLog& m_log;
    const TClock& m_clock;
    qsizetype m_capacity;
    std::deque<Op> m_held;
    qsizetype m_heldSamples = 0;
    qint64 m_dropped = 0;
    QString m_cause;
    bool m_episode = false;
    bool m_rejectedLogged = false;
    QHash<int, int> m_realId;
    QHash<int, Op> m_unstarted; // provisional run id -> its start, not held for lack of room
    int m_nextProvisional = kFirstProvisional;
    qsizetype m_singly = 0; // held operations to write one at a time, after a rejected batch
    qint64 m_batch = 0;     // the last transaction marked
    std::optional<Doubt> m_doubt;
    QList<int>* m_started = nullptr; // runs started in the transaction under way
    TRecorderObserver* m_observer = nullptr;
    QTimer m_timer;
};
