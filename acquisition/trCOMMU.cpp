#include "trCOMMU.h"

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
    }
    CommPort.reset();
    ValueHistory.clear();
    TimeHistory.clear();
}

void TtrComm::Execute() {
    CommPort.reset();
    QMetaObject::invokeMethod(
        m_host.uiContext(), [this] { m_host.SetPressReadout(QStringLiteral("0")); },
        Qt::QueuedConnection);
    PressRunId = -1;
    CbrRunId = -1;
    ValueHistory.clear();
    TimeHistory.clear();

    bool isNumber = false;
    const int port = m_portCaption.trimmed().toInt(&isNumber);
    if (!isNumber || !OpenPort(port))
        return;

    exchange(kDeselect);
    msleep(200);
    do {
        bool polled = false;
        if (activePage() == TPage::Press) {
            pollPress();
            polled = true;
        }
        if (activePage() == TPage::Cbr) {
            pollCbr();
            polled = true;
        }
        if (!polled && !terminated())
            msleep(kIdleCheckMs);
    } while (!terminated());
    exchange(kDeselect);
}

void TtrComm::pollPress() {
    PrevValue = 0.0;
    exchange(kPress);
    while (activePage() == TPage::Press && !terminated()) {
        exchange(kValue);
        Reply1 = CommPort->Reply;
        syncCall([this] { m_host.ProcessPressSample(*this); });
    }
    exchange(kDeselect);
}

void TtrComm::pollCbr() {
    PrevValue = 0.0;
    exchange(kCbrLoad);
    while (activePage() == TPage::Cbr && !terminated()) {
        exchange(kCbrLoad);
        exchange(kValue);
        Reply1 = CommPort->Reply;
        exchange(kCbrDeformation);
        exchange(kValue);
        Reply2 = CommPort->Reply;
        syncCall([this] { m_host.ProcessCbrSample(*this); });
    }
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
    m_host.SetCaption(QStringLiteral("noravel ") + Reply1);
}

bool TtrComm::OpenPort(int PortNumber) {
    try {
        CommPort = std::make_unique<TComPort>(PortNumber, 4800, 200, kLineFunction, kLineFunction,
                                              250, 50, 20, m_portMap);
        return true;
    } catch (...) {
        CommPort.reset();
        return false;
    }
}

void TtrComm::exchange(const char* command) {
    // The result flag is never examined: the reply text says it all.
    CommPort->Transact(QByteArray(command), lmRS485, false);
}

TPage TtrComm::activePage() const {
    return static_cast<TPage>(m_activePage.load(std::memory_order_relaxed));
}
