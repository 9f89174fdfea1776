#include "testsupport/SimProcess.h"

#include <QFile>

#include <stdexcept>

#ifndef NUV_BIN_DIR
#error "NUV_BIN_DIR must name the folder that holds nuv-sim"
#endif

SimProcess::SimProcess(const QString& dir, int port, const QStringList& extraArgs)
    : m_log(dir + QStringLiteral("/sim-commands.log")) {
    QFile::remove(m_log);
    QStringList args{"--dir", dir, "--port", QString::number(port), "--log", m_log};
    args += extraArgs;
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start(QStringLiteral(NUV_BIN_DIR "/nuv-sim"), args);
    if (!m_proc.waitForStarted(5000))
        throw std::runtime_error("nuv-sim did not start");
    // It prints one line once the port link exists.
    while (!m_proc.canReadLine()) {
        if (!m_proc.waitForReadyRead(5000))
            throw std::runtime_error("nuv-sim did not get ready");
    }
    m_proc.readLine();
}

SimProcess::~SimProcess() {
    m_proc.terminate();
    if (!m_proc.waitForFinished(3000)) {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
}

QStringList SimProcess::commands() const {
    QFile f(m_log);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd()) {
        QString line = QString::fromUtf8(f.readLine()).trimmed();
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank < 0)
            continue;
        QString cmd = line.mid(blank + 1);
        cmd.remove(QStringLiteral("\\r"));
        cmd.remove(QStringLiteral("\\n"));
        out.append(cmd);
    }
    return out;
}
