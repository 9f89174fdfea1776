#pragma once

// prjNUV as a child process of a test, and what the simulator's command log
// says it was asked. Needs NUV_BIN_DIR (every test program has it).
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <functional>

#include <signal.h>

// prjNUV copied into a folder of its own: its settings, log and database are
// the files beside it. `extra` is added to the test's own environment.
class AppProcess {
public:
    explicit AppProcess(const QString& dir, const QProcessEnvironment& extra = {}) {
        const QString exe = dir + "/prjNUV";
        if (!QFile::exists(exe))
            QFile::copy(QStringLiteral(NUV_BIN_DIR "/prjNUV"), exe);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert(extra);
        m_proc.setProcessEnvironment(env);
        m_proc.start(exe, {});
        m_proc.waitForStarted(5000);
    }
    ~AppProcess() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;
    void signal(int signo) { ::kill(static_cast<pid_t>(m_proc.processId()), signo); }
    QProcess& process() { return m_proc; }

private:
    QProcess m_proc;
};

// The moments of the value requests ("p.v") in the simulator's command log
// ("<ISO time with ms> <command>" per line); with `selected`, only those
// asked of the controller that command selected last ("U3").
inline QList<QDateTime> pollTimes(const QString& logPath, const QByteArray& selected = {}) {
    QList<QDateTime> out;
    QByteArray current;
    for (const QByteArray& line : readAll(logPath).split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank <= 0)
            continue;
        const QByteArray command = line.mid(blank + 1);
        if (command.startsWith('U'))
            current = command.left(command.indexOf('\\'));
        else if (command.startsWith("p.v") && (selected.isEmpty() || current == selected))
            out.append(
                QDateTime::fromString(QString::fromLatin1(line.left(blank)), Qt::ISODateWithMs));
    }
    return out;
}

// Waits without an event loop; false when `ms` passed first.
inline bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// isql's list mode: one "DATE_EFFECT 2026-12-09 18:03:01.1230" line per row;
// the samples in the order they were written.
inline QList<QDateTime> sampleTimes(const QString& database) {
    QList<QDateTime> out;
    const QString text =
        isql(database, "set list on; select date_effect from mes_de order by mes_de_id;");
    for (const QString& line : text.split('\n')) {
        const QString t = line.simplified();
        if (t.startsWith("DATE_EFFECT "))
            out.append(QDateTime::fromString(t.mid(12).left(23), "yyyy-MM-dd HH:mm:ss.zzz"));
    }
    return out;
}

// Settings that poll the press on COM<port>.
inline void writePressSettings(const QString& dir, int port) {
    writeAll(dir + "/prjNUV.ini", QStringLiteral("[frmStorage]\r\nlblCom_Caption=%1\r\n"
                                                 "PageControl1_ActivePage=TabSheet2\r\n")
                                      .arg(port)
                                      .toLatin1());
}
