#pragma once

#include <QObject>

class QSocketNotifier;

// The program owns SIGTERM, SIGINT and SIGHUP: they are blocked in every
// thread from the very start, so neither the database engine's own handlers
// nor the default action can end the program behind its back, and they are
// read here, on the user-interface thread, through a signalfd.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    // Blocks the three signals in the calling thread; every thread started
    // afterwards (the engine's, the toolkit's, acquisition) inherits the mask.
    // Call it first thing in main, before any thread exists.
    static void blockTerminationSignals();

    // Throws Exception when the signals cannot be watched.
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

signals:
    void received(int signalNumber);

private:
    void readSignals();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
