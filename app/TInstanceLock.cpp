#include "app/TInstanceLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TInstanceLock::TInstanceLock(QString lockPath) : m_path(std::move(lockPath)) {
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_reason = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_state = State::Locked;
        return;
    }
    const int err = errno;
    m_state = err == EWOULDBLOCK ? State::HeldByAnother : State::Unavailable;
    m_reason = QString::fromLocal8Bit(std::strerror(err));
}

TInstanceLock::~TInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString TInstanceLock::pathFor(const QString& database) {
    return database + QStringLiteral(".lock");
}
