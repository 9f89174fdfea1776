#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the controller simulator for a test: linked as <dir>/ports/COM<port>,
// writing every command it receives to <dir>/sim-commands.log.
class SimProcess {
public:
    SimProcess(const QString& dir, int port, const QStringList& extraArgs = {});
    ~SimProcess();

    // The commands received so far, line ends stripped ("U0", "p.v", ...).
    QStringList commands() const;

    const QString& logPath() const { return m_log; }

private:
    QProcess m_proc;
    QString m_log;
};
