#include "THoldingRecorder.h"

#include "Exception.h"

namespace {

QString messageOf(const std::exception& e) {
    if (const auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->message();
    return QString::fromUtf8(e.what());
}

} // namespace

THoldingRecorder::THoldingRecorder(TRecorder& target, TEventLog& log, Now now, qsizetype capacity)
    : m_target(target), m_log(log), m_now(std::move(now)), m_capacity(capacity) {
    m_timer.setInterval(kRetryMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { retry(); });
}

THoldingRecorder::~THoldingRecorder() = default;

int THoldingRecorder::StartRun(int DeviceId) {
    return StartRunAt(DeviceId, m_now());
}

void THoldingRecorder::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    AddSampleAt(RunId, DeviceId, Value, Speed, m_now());
}

int THoldingRecorder::StartRunAt(int DeviceId, const QDateTime& at) {
    Op op{true, DeviceId, 0, 0, 0, at.toMSecsSinceEpoch()};
    if (retry()) {
        try {
            return m_target.StartRunAt(DeviceId, at);
        } catch (const std::exception& e) {
            failed(messageOf(e));
        }
    }
    op.run = m_nextProvisional++;
    hold(op);
    return op.run;
}

void THoldingRecorder::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                                   const QDateTime& at) {
    const Op op{false, DeviceId, RunId, Value, Speed, at.toMSecsSinceEpoch()};
    if (retry()) {
        try {
            write(op);
            return;
        } catch (const std::exception& e) {
            failed(messageOf(e));
        }
    }
    hold(op);
}

void THoldingRecorder::write(const Op& op) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(op.atMs);
    if (op.start) {
        m_realId.insert(op.run, m_target.StartRunAt(op.device, at));
        return;
    }
    m_target.AddSampleAt(realId(op.run), op.device, op.value, op.speed, at);
}

bool THoldingRecorder::retry() {
    if (m_held.empty())
        return true;
    try {
        while (!m_held.empty()) {
            write(m_held.front());
            if (!m_held.front().start)
                --m_heldSamples;
            m_held.pop_front();
        }
    } catch (const std::exception& e) {
        failed(messageOf(e));
        tell();
        return false;
    }
    recovered();
    return true;
}

// Run starts are always held, so no sample loses its run; samples beyond the
// capacity are counted as dropped.
void THoldingRecorder::hold(const Op& op) {
    if (!op.start && m_heldSamples >= m_capacity) {
        ++m_dropped;
    } else {
        m_held.push_back(op);
        if (!op.start)
            ++m_heldSamples;
    }
    if (!m_timer.isActive())
        m_timer.start();
    tell();
}

// One log line when an episode begins, not one per refused sample.
void THoldingRecorder::failed(const QString& cause) {
    if (AfterFailure) {
        try {
            AfterFailure();
        } catch (...) {
            // The next write tries again whatever state this left.
        }
    }
    const bool first = m_cause.isEmpty();
    m_cause = cause;
    if (!first)
        return;
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
    const bool wasFailing = !m_cause.isEmpty();
    m_cause.clear();
    m_dropped = 0;
    if (wasFailing && m_observer)
        m_observer->RecorderRecovered();
}

void THoldingRecorder::tell() {
    if (m_observer)
        m_observer->RecorderFailing(m_cause, m_heldSamples, m_dropped);
}
