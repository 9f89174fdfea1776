#include "acquisition/THoldingRecorder.h"

#include "core/Exception.h"

#include <QElapsedTimer>
#include <QScopeGuard>

namespace {

QString messageOf(const std::exception& e) {
    return Exception::of(e).message();
}

} // namespace

THoldingRecorder::THoldingRecorder(TRecorder& target, TEventLog& log, const TClock& clock,
                                   qsizetype capacity)
    : m_target(target), m_log(log), m_clock(clock), m_capacity(capacity) {
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { retry(); });
}

THoldingRecorder::~THoldingRecorder() = default;

int THoldingRecorder::StartRun(int DeviceId) {
    return StartRunAt(DeviceId, m_clock.now());
}

void THoldingRecorder::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    AddSampleAt(RunId, DeviceId, Value, Speed, m_clock.now());
}

int THoldingRecorder::StartRunAt(int DeviceId, const QDateTime& at) {
    const Op op{true, DeviceId, m_nextProvisional, 0, 0, at.toMSecsSinceEpoch()};
    if (retry()) {
        try {
            if (!Mark)
                return m_target.StartRunAt(DeviceId, at);
            writeMarked(op);
            return m_realId.take(op.run);
        } catch (const std::exception& e) {
            refusedOrRethrow(e);
        }
    }
    ++m_nextProvisional;
    hold(op);
    return op.run;
}

void THoldingRecorder::EndRun(int RunId) {
    if (m_unstarted.remove(RunId) > 0)
        return; // never written: nothing to seal
    put(Op{false, 0, RunId, 0, 0, m_clock.now().toMSecsSinceEpoch(), true});
}

// A run whose start could not even be held goes first when its next sample
// comes, so that no run is written without samples.
void THoldingRecorder::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                                   const QDateTime& at) {
    if (const auto start = m_unstarted.find(RunId); start != m_unstarted.end()) {
        const Op op = *start;
        m_unstarted.erase(start);
        put(op);
    }
    put(Op{false, DeviceId, RunId, Value, Speed, at.toMSecsSinceEpoch()});
}

void THoldingRecorder::put(const Op& op) {
    if (retry()) {
        try {
            if (Mark)
                writeMarked(op);
            else
                write(op);
            return;
        } catch (const std::exception& e) {
            refusedOrRethrow(e);
        }
    }
    hold(op);
}

// A statement the database rejects for what it says (a broken value, a run
// that no longer exists) would be rejected again at every try and block
// every later write behind it: it is not held but goes to the caller, as
// without this recorder.
void THoldingRecorder::refusedOrRethrow(const std::exception& e) {
    const QString message = messageOf(e);
    if (isStatementFault(message)) {
        undo();
        throw;
    }
    failed(message);
}

bool THoldingRecorder::isStatementFault(const QString& message) {
    for (const char* w : {"Dynamic SQL Error", "violation of", "conversion error",
                          "arithmetic exception", "string right truncation", "validation error"}) {
        if (message.contains(QLatin1String(w), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void THoldingRecorder::undo() {
    if (!AfterFailure)
        return;
    try {
        AfterFailure();
    } catch (...) {
        // The next write tries again whatever state this left.
    }
}

// A held operation that the database rejects for itself is dropped, so the
// ones behind it can be written; the log names the first of each episode.
void THoldingRecorder::dropRejected(const QString& message) {
    undo();
    popFront();
    if (m_rejectedLogged)
        return;
    m_rejectedLogged = true;
    try {
        m_log.WriteLog(QStringLiteral("Задържан запис, отхвърлен от базата данни: ") + message,
                       QStringLiteral("commErr"));
    } catch (...) {
    }
}

void THoldingRecorder::write(const Op& op) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(op.atMs);
    if (op.start) {
        m_realId.insert(op.run, m_target.StartRunAt(op.device, at));
        if (m_started)
            m_started->append(op.run);
        return;
    }
    if (op.end) {
        m_target.EndRun(realId(op.run));
        return;
    }
    m_target.AddSampleAt(realId(op.run), op.device, op.value, op.speed, at);
}

// Catching up with many held samples goes in slices, so the window stays
// responsive; the timer comes back at once for the next slice.
bool THoldingRecorder::retry(int budgetMs) {
    if (m_held.empty())
        return true;
    QElapsedTimer spent;
    spent.start();
    try {
        if (BeforeRetry)
            BeforeRetry();
        settle();
        while (!m_held.empty()) {
            writeHeld(spent, budgetMs);
            if (!m_held.empty() && budgetMs >= 0 && spent.elapsed() >= budgetMs) {
                m_cause.clear(); // taking writes again, still catching up
                m_timer.start(0);
                tell();
                return false;
            }
        }
    } catch (const std::exception& e) {
        failed(messageOf(e));
        m_timer.start(kRetryMs);
        tell();
        return false;
    }
    recovered();
    return true;
}

// Held operations go in batches of one transaction each: one commit, one wait
// for the server's disk, per batch rather than per sample. A batch that the
// database rejects for one of its statements is written again one operation
// at a time, which drops that one only.
void THoldingRecorder::writeHeld(const QElapsedTimer& spent, int budgetMs) {
    if (m_singly > 0) {
        --m_singly;
        writeFront();
        return;
    }
    qsizetype tried = 0;
    bool together = false;
    try {
        together = inTransaction([&] {
            while (tried < qsizetype(m_held.size()) && tried < kBatch) {
                write(m_held[size_t(tried)]);
                ++tried;
                if (budgetMs >= 0 && spent.elapsed() >= budgetMs)
                    break;
            }
            return tried;
        });
    } catch (const std::exception& e) {
        if (!isStatementFault(messageOf(e)))
            throw;
        m_singly = tried + 1;
        return;
    }
    if (!together) {
        writeFront();
        return;
    }
    for (; tried > 0; --tried)
        popFront();
}

// One transaction, its mark and its commit. A commit that fails after every
// statement and the mark went through may have landed all the same: what it
// wrote stays held, at the front, in doubt until Landed says. The runs it
// started lose their ids unless it landed.
bool THoldingRecorder::inTransaction(const std::function<qsizetype()>& writes) {
    const qint64 batch = ++m_batch;
    m_doubt.reset();
    QList<int> started;
    m_started = &started;
    const auto apart = qScopeGuard([this] { m_started = nullptr; });
    qsizetype ops = 0;
    bool committing = false;
    try {
        return m_target.inOneTransaction([&] {
            ops = writes();
            if (Mark)
                Mark(batch);
            committing = true;
        });
    } catch (const std::exception& e) {
        QHash<int, int> ids;
        for (int run : std::as_const(started))
            ids.insert(run, m_realId.take(run));
        if (committing && Mark && Landed && !isStatementFault(messageOf(e)))
            m_doubt = Doubt{batch, ops, ids};
        throw;
    }
}

// An operation written as it comes: a transaction of its own with its mark.
void THoldingRecorder::writeMarked(const Op& op) {
    if (!inTransaction([&] {
            write(op);
            return qsizetype(1);
        }))
        write(op);
}

// Before anything is written again: what the unanswered commit wrote is
// taken as written when it landed, and written again when it did not.
void THoldingRecorder::settle() {
    if (!m_doubt)
        return;
    if (Landed(m_doubt->batch)) {
        for (auto it = m_doubt->started.cbegin(); it != m_doubt->started.cend(); ++it)
            m_realId.insert(it.key(), it.value());
        for (qsizetype n = qMin(m_doubt->ops, qsizetype(m_held.size())); n > 0; --n)
            popFront();
    }
    m_doubt.reset();
}

void THoldingRecorder::writeFront() {
    try {
        if (Mark)
            writeMarked(m_held.front());
        else
            write(m_held.front());
    } catch (const std::exception& e) {
        if (!isStatementFault(messageOf(e)))
            throw;
        dropRejected(messageOf(e));
        return;
    }
    popFront();
}

void THoldingRecorder::popFront() {
    if (m_held.front().sample())
        --m_heldSamples;
    m_held.pop_front();
}

bool THoldingRecorder::finish(int budgetMs) {
    if (retry(budgetMs))
        return true;
    m_timer.stop();
    try {
        m_log.WriteLog(QStringLiteral("При затваряне на програмата не бяха записани задържани "
                                      "проби: ") +
                           QString::number(m_heldSamples),
                       QStringLiteral("commErr"));
    } catch (...) {
    }
    return false;
}

// Beyond the capacity samples are counted as dropped, and a run start waits
// for a sample of its run that can be held with it.
void THoldingRecorder::hold(const Op& op) {
    if (m_heldSamples >= m_capacity) {
        if (op.start)
            m_unstarted.insert(op.run, op);
        else if (op.sample())
            ++m_dropped;
    } else {
        m_held.push_back(op);
        if (op.sample())
            ++m_heldSamples;
    }
    if (!m_timer.isActive())
        m_timer.start(kRetryMs);
    tell();
}

// One log line when an episode begins, not one per refused sample.
void THoldingRecorder::failed(const QString& cause) {
    undo();
    m_cause = cause;
    if (m_episode)
        return;
    m_episode = true;
    try {
        m_log.WriteLog(QStringLiteral("Базата данни не приема записи, пробите се задържат: ") +
                           cause,
                       QStringLiteral("commErr"));
    } catch (...) {
        // A full disk may refuse the log as well; the window still shows it.
    }
}

void THoldingRecorder::recovered() {
    m_timer.stop();
    if (!m_episode)
        return;
    m_episode = false;
    m_rejectedLogged = false;
    m_cause.clear();
    if (m_dropped > 0) {
        try {
            m_log.WriteLog(
                QStringLiteral("Изгубени проби, докато базата данни не приемаше записи: ") +
                    QString::number(m_dropped),
                QStringLiteral("commErr"));
        } catch (...) {
        }
    }
    m_dropped = 0;
    if (m_observer)
        m_observer->RecorderRecovered();
}

void THoldingRecorder::tell() {
    if (m_observer)
        m_observer->RecorderFailing(m_cause, m_heldSamples, m_dropped);
}
