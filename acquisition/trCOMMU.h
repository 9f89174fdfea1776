#pragma once

#include "acquisition/TAcqState.h"
#include "acquisition/TAcqStatus.h"
#include "acquisition/TPage.h"
#include "serial/ComPortMap.h"
#include "serial/ComPortU.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>

class TtrComm;

// What the acquisition thread needs of the main window. Every call comes on
// the user-interface thread, inside the thread's blocking calls (or, for the
// readout reset, a queued call made before the first of them).
class TtrCommHost {
public:
    virtual ~TtrCommHost() = default;
    virtual QObject* uiContext() = 0; // an object living on the user-interface thread
    virtual void SetCaption(const QString& caption) = 0;
    virtual void SetPressReadout(const QString& text) = 0; // Label11
    virtual void ProcessPressSample(TAcqState& thread) = 0;
    virtual void ProcessCbrSample(TAcqState& thread) = 0;
    // Whether the line works: no port, port lost, no reply, polling again.
    // A queued call, not a blocking one: the thread goes on meanwhile.
    virtual void AcquisitionStatus(const TAcqStatus& status) { (void)status; }
};

// The background thread that polls the controllers of the active page and
// hands every reply to the user-interface thread.
class TtrComm : public QThread, public TAcqState {
    Q_OBJECT
public:
    // The port label's text is taken when the thread is created; the active
    // page is read from the atomic the main window keeps current.
    TtrComm(TtrCommHost& host, QString portCaption, const std::atomic<int>& activePage,
            ComPortMap portMap, QObject* parent = nullptr);
    ~TtrComm() override;

    // The handler state (TAcqState) is touched only inside the blocking calls
    // once polling runs.

    // Runs on the user-interface thread at the start of every blocking call.
    void ShowRawReply();
    // The caption text of a reply: line ends left out, other control
    // characters shown as \xNN, so the caption never shows boxes.
    static QString visibleReply(const QString& reply);

    // A port that was lost is tried again this often.
    static constexpr unsigned long kReopenMs = 1000;
    // A controller silent this long is shown as not answering.
    static constexpr int kSilentSeconds = 3;

    // Commands of the polling cycle.
    static constexpr const char* kDeselect = "U0\r\n";
    static constexpr const char* kPress = "U255\r\n";
    static constexpr const char* kCbrLoad = "U2\r\n";
    static constexpr const char* kCbrDeformation = "U3\r\n";
    static constexpr const char* kValue = "p.v\r\n";

protected:
    void run() override;

private:
    void Execute();
    bool OpenPort(int PortNumber);
    void exchange(const char* command);
    bool valueExchange();
    TPage activePage() const;
    bool terminated() const { return isInterruptionRequested(); }
    bool lost() const { return CommPort && CommPort->Lost(); }
    bool polling() const { return !terminated() && !lost(); }
    void pollPages();
    void pollPress();
    void pollCbr();
    bool reopen(int port);
    void portLost();
    void report(TAcqStatus::Kind kind, int silentSeconds = 0);
    void watchReplies(bool answered);
    void sleepUnlessTerminated(unsigned long ms);
    template <typename Handler> void syncCall(Handler handler);

    TtrCommHost& m_host;
    QString m_portCaption;
    const std::atomic<int>& m_activePage;
    ComPortMap m_portMap;
    std::unique_ptr<TComPort> CommPort;
    std::optional<ENoPermission> m_refused; // the last open failed for lack of permission
    QElapsedTimer m_lastReply;
    int m_silentShown = 0; // whole seconds of silence last reported, 0 when answering
};
