#include "acquisition/TQueuedRecorder.h"

#include <QMetaObject>

// Hands the writer's reports to the observer on the recorder's own thread.
class TQueuedRecorder::Relay : public TRecorderObserver {
public:
    explicit Relay(TQueuedRecorder& owner) : m_owner(owner) {}
    void RecorderFailing(const QString& cause, qsizetype held, qint64 dropped) override {
        {
            std::lock_guard lock(m_owner.m_idMutex);
            m_owner.m_failing = !cause.isEmpty() || held > 0;
            m_owner.m_cause = cause;
        }
        QMetaObject::invokeMethod(
            &m_owner,
            [o = &m_owner, cause, held, dropped] {
                if (o->m_observer)
                    o->m_observer->RecorderFailing(cause, held, dropped);
            },
            Qt::QueuedConnection);
    }
    void RecorderRecovered() override {
        {
            std::lock_guard lock(m_owner.m_idMutex);
            m_owner.m_failing = false;
            m_owner.m_cause.clear();
        }
        m_owner.publish();
        QMetaObject::invokeMethod(
            &m_owner,
            [o = &m_owner] {
                if (o->m_observer)
                    o->m_observer->RecorderRecovered();
            },
            Qt::QueuedConnection);
    }

private:
    TQueuedRecorder& m_owner;
};

TQueuedRecorder::TQueuedRecorder(MakeWriter makeWriter, const TClock& clock)
    : m_clock(clock), m_context(new QObject), m_relay(std::make_unique<Relay>(*this)) {
    m_thread.setObjectName(QStringLiteral("recording"));
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context,
        [this, make = std::move(makeWriter)] {
            m_writer = make();
            m_writer->setObserver(m_relay.get());
        },
        Qt::BlockingQueuedConnection);
}

// The writer and its timers end on their own thread.
TQueuedRecorder::~TQueuedRecorder() {
    QMetaObject::invokeMethod(
        m_context, [this] { m_writer.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

int TQueuedRecorder::StartRun(int DeviceId) {
    return StartRunAt(DeviceId, m_clock.now());
}

void TQueuedRecorder::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    AddSampleAt(RunId, DeviceId, Value, Speed, m_clock.now());
}

int TQueuedRecorder::StartRunAt(int DeviceId, const QDateTime& at) {
    const int run = m_nextRun++;
    enqueue(Op{true, DeviceId, run, 0, 0, at});
    return run;
}

void TQueuedRecorder::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                                  const QDateTime& at) {
    enqueue(Op{false, DeviceId, RunId, Value, Speed, at});
}

void TQueuedRecorder::EndRun(int RunId) {
    enqueue(Op{false, 0, RunId, 0, 0, m_clock.now(), true});
}

void TQueuedRecorder::enqueue(Op op) {
    std::lock_guard lock(m_queueMutex);
    m_queue.push_back(std::move(op));
    if (std::exchange(m_scheduled, true))
        return;
    QMetaObject::invokeMethod(
        m_context, [this] { drain(); }, Qt::QueuedConnection);
}

// On the writer thread: everything queued so far, in order. A statement the
// database rejects for itself costs that operation only.
void TQueuedRecorder::drain() {
    std::deque<Op> ops;
    {
        std::lock_guard lock(m_queueMutex);
        ops.swap(m_queue);
        m_scheduled = false;
    }
    for (const Op& op : ops) {
        try {
            if (op.start) {
                m_writerId.insert(op.run, m_writer->StartRunAt(op.device, op.at));
            } else if (const auto id = m_writerId.find(op.run); id != m_writerId.end()) {
                if (op.end)
                    m_writer->EndRun(*id);
                else
                    m_writer->AddSampleAt(*id, op.device, op.value, op.speed, op.at);
            }
        } catch (const std::exception&) {
            // The writer has logged what the database said of it.
        }
    }
    publish();
}

void TQueuedRecorder::publish() {
    QHash<int, int> known;
    for (auto it = m_writerId.cbegin(); it != m_writerId.cend(); ++it)
        known.insert(it.key(), m_writer->realId(it.value()));
    std::lock_guard lock(m_idMutex);
    m_published = std::move(known);
}

int TQueuedRecorder::realId(int run) const {
    std::lock_guard lock(m_idMutex);
    return m_published.value(run, run);
}

bool TQueuedRecorder::failing() const {
    std::lock_guard lock(m_idMutex);
    return m_failing;
}

QString TQueuedRecorder::cause() const {
    std::lock_guard lock(m_idMutex);
    return m_cause;
}

bool TQueuedRecorder::finish(int budgetMs) {
    bool done = false;
    QMetaObject::invokeMethod(
        m_context,
        [&] {
            drain();
            done = m_writer->finish(budgetMs);
            publish();
        },
        Qt::BlockingQueuedConnection);
    return done;
}
