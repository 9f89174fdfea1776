#include "acquisition/trCOMMU.h"

#include <QMetaObject>

#include <stdexcept>

namespace {

// The escape function the port is asked to apply twice after opening.
constexpr int kLineFunction = 1;

// While neither measuring page is active the thread only watches the page.
// A short wait keeps it from spinning a processor core all day; a page change
// is still seen long before a poll would have ended.
constexpr unsigned long kIdleCheckMs = 20;

} // namespace

TtrComm::TtrComm(TtrCommHost& host, QString portCaption, const std::atomic<int>& activePage,
                 ComPortMap portMap, QObject* parent)
    : QThread(parent), m_host(host), m_portCaption(std::move(portCaption)),
      m_activePage(activePage), m_portMap(std::move(portMap)) {}

TtrComm::~TtrComm() {
    requestInterruption();
    wait();
}

void TtrComm::run() {
    try {
        Execute();
    } catch (...) {
        // A failure that escaped a handler ends the thread; the clean-up below runs.
        report(TAcqStatus::Kind::Stopped);
    }
    CommPort.reset();
    ValueHistory.clear();
    TimeHistory.clear();
}

void TtrComm::Execute() {
    CommPort.reset();
    // Queued calls name the host, not this thread object: they may run after
    // the thread object is gone, never after the window is.
    QMetaObject::invokeMethod(
        m_host.uiContext(), [&host = m_host] { host.SetPressReadout(QStringLiteral("0")); },
        Qt::QueuedConnection);
    PressRunId = -1;
    CbrRunId = -1;
    ValueHistory.clear();
    TimeHistory.clear();

    bool isNumber = false;
    const int port = m_portCaption.trimmed().toInt(&isNumber);
    if (!isNumber || !OpenPort(port)) {
        report(m_refused ? TAcqStatus::Kind::NoPermission : TAcqStatus::Kind::NoPort);
        return;
    }
    do {
        pollPages();
        if (lost() && !reopen(port))
            return; // terminated while the device was away
    } while (!terminated());
    exchange(kDeselect);
}

// From the opened port until termination or until the device is lost.
void TtrComm::pollPages() {
    report(TAcqStatus::Kind::Polling);
    m_lastReply.start();
    m_silentShown = 0;
    exchange(kDeselect);
    msleep(200);
    do {
        bool polled = false;
        // A page's loop is entered even when termination was asked for in the
        // meantime: it addresses its controller and deselects it again.
        if (activePage() == TPage::Press && !lost()) {
            pollPress();
            polled = true;
        }
        if (activePage() == TPage::Cbr && !lost()) {
            pollCbr();
            polled = true;
        }
        if (!polled && polling())
            msleep(kIdleCheckMs);
    } while (polling());
}

// The device went away: the open run ends for the system (the samples
// recorded so far stay), the window is told, and the same COM name is tried
// once a second until it opens again or the thread is told to end.
bool TtrComm::reopen(int port) {
    portLost();
    while (!terminated()) {
        sleepUnlessTerminated(kReopenMs);
        if (!terminated() && OpenPort(port))
            return true;
    }
    return false;
}

void TtrComm::portLost() {
    CommPort.reset();
    PressRunId = -1;
    CbrRunId = -1;
    PrevValue = 0.0;
    ValueHistory.clear();
    TimeHistory.clear();
    report(TAcqStatus::Kind::PortLost);
}

void TtrComm::sleepUnlessTerminated(unsigned long ms) {
    for (unsigned long slept = 0; slept < ms && !terminated(); slept += kIdleCheckMs)
        msleep(kIdleCheckMs);
}

void TtrComm::report(TAcqStatus::Kind kind, int silentSeconds) {
    TAcqStatus status;
    status.kind = kind;
    status.portCaption = m_portCaption;
    status.page = activePage();
    status.silentSeconds = silentSeconds;
    if (m_refused) {
        status.device = m_refused->device();
        status.group = m_refused->group();
    }
    // Queued: a window that is gone by then drops the call.
    QMetaObject::invokeMethod(
        m_host.uiContext(), [&host = m_host, status] { host.AcquisitionStatus(status); },
        Qt::QueuedConnection);
}

// A controller that stops answering is shown after a few seconds, and the
// text follows the silence second by second until the replies return.
void TtrComm::watchReplies(bool answered) {
    if (answered) {
        m_lastReply.start();
        if (m_silentShown > 0) {
            m_silentShown = 0;
            report(TAcqStatus::Kind::Polling);
        }
        return;
    }
    const int silent = int(m_lastReply.elapsed() / 1000);
    if (silent >= kSilentSeconds && silent != m_silentShown) {
        m_silentShown = silent;
        report(TAcqStatus::Kind::NoReply, silent);
    }
}

void TtrComm::pollPress() {
    PrevValue = 0.0;
    exchange(kPress);
    while (activePage() == TPage::Press && polling()) {
        valueExchange();
        if (lost())
            return; // what a dead device left in the reply is no sample
        Reply1 = CommPort->Reply;
        syncCall([this] { m_host.ProcessPressSample(*this); });
    }
    if (!lost())
        exchange(kDeselect);
}

void TtrComm::pollCbr() {
    PrevValue = 0.0;
    exchange(kCbrLoad);
    while (activePage() == TPage::Cbr && polling()) {
        exchange(kCbrLoad);
        valueExchange();
        Reply1 = CommPort->Reply;
        exchange(kCbrDeformation);
        valueExchange();
        Reply2 = CommPort->Reply;
        if (lost())
            return;
        syncCall([this] { m_host.ProcessCbrSample(*this); });
    }
    if (!lost())
        exchange(kDeselect);
}

// One blocking call into the user-interface thread: the raw reply goes to the
// caption, then the page's handler runs. A failure escaping the handler ends
// the thread.
template <typename Handler> void TtrComm::syncCall(Handler handler) {
    bool escaped = false;
    QMetaObject::invokeMethod(
        m_host.uiContext(),
        [&] {
            try {
                ShowRawReply();
                handler();
            } catch (...) {
                escaped = true;
            }
        },
        Qt::BlockingQueuedConnection);
    if (escaped)
        throw std::runtime_error("sample handler failed");
}

void TtrComm::ShowRawReply() {
    m_host.SetCaption(QStringLiteral("noravel ") + visibleReply(Reply1));
}

QString TtrComm::visibleReply(const QString& reply) {
    QString out;
    out.reserve(reply.size());
    for (QChar c : reply) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n')
            continue;
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool TtrComm::OpenPort(int PortNumber) {
    try {
        CommPort = std::make_unique<TComPort>(PortNumber, 4800, 200, kLineFunction, kLineFunction,
                                              250, 50, 20, m_portMap);
        m_refused.reset();
        return true;
    } catch (const ENoPermission& e) {
        CommPort.reset();
        m_refused = e;
        return false;
    } catch (...) {
        CommPort.reset();
        return false;
    }
}

void TtrComm::exchange(const char* command) {
    // The result flag is never examined: the reply text says it all.
    CommPort->Transact(QByteArray(command), lmRS485, false);
}

// A value request; its result tells whether the controller still answers.
bool TtrComm::valueExchange() {
    const bool answered = !CommPort->Transact(QByteArray(kValue), lmRS485, false);
    if (!lost())
        watchReplies(answered);
    return answered;
}

TPage TtrComm::activePage() const {
    return static_cast<TPage>(m_activePage.load(std::memory_order_relaxed));
}
