#include "serial/PseudoTerminal.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal available");
    const char* name = ::ptsname(m_master);
    if (!name)
        throw std::runtime_error("no pseudo-terminal name");
    m_slaveName = QString::fromLocal8Bit(name);
    m_slaveKeepAlive = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    // Raw on both ends: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (m_slaveKeepAlive >= 0 && ::tcgetattr(m_slaveKeepAlive, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slaveKeepAlive, TCSANOW, &tio);
    }
}

PseudoTerminal::~PseudoTerminal() {
    if (!m_link.isEmpty())
        QFile::remove(m_link);
    if (m_slaveKeepAlive >= 0)
        ::close(m_slaveKeepAlive);
    if (m_master >= 0)
        ::close(m_master);
}

QString PseudoTerminal::linkAs(const QString& portsDir, int number) {
    QDir().mkpath(portsDir);
    const QString link = portsDir + QStringLiteral("/COM") + QString::number(number);
    QFile::remove(link);
    if (!QFile::link(m_slaveName, link))
        throw std::runtime_error("cannot link " + link.toStdString());
    m_link = link;
    return link;
}

void PseudoTerminal::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        done += n;
    }
}

QByteArray PseudoTerminal::read(int timeoutMs) {
    pollfd p{m_master, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0 || !(p.revents & POLLIN))
        return {};
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    return n > 0 ? QByteArray(buf, n) : QByteArray();
}
