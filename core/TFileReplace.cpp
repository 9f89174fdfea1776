#include "core/TFileReplace.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_sequence{0};

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A rename is on the disk only once its folder is.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

TFileReplace::TFileReplace(QString path) : m_path(std::move(path)) {}

TFileReplace::~TFileReplace() {
    discard();
}

bool TFileReplace::fail(int err) {
    m_error = QString::fromLocal8Bit(std::strerror(err));
    discard();
    return false;
}

void TFileReplace::discard() {
    if (!m_temp.isEmpty())
        ::unlink(QFile::encodeName(m_temp).constData());
    m_temp.clear();
}

bool TFileReplace::prepare(const QByteArray& bytes) {
    discard();
    m_error.clear();
    const QFileInfo info(m_path);
    m_temp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
             QStringLiteral(".new-%1-%2").arg(::getpid()).arg(g_sequence++);
    const QByteArray temp = QFile::encodeName(m_temp);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        m_temp.clear(); // not ours to remove
        return fail(err);
    }
    struct stat old {};
    if (::stat(QFile::encodeName(m_path).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (::close(fd) != 0)
        return fail(errno);
    return true;
}

bool TFileReplace::commit() {
    if (m_temp.isEmpty()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("nothing prepared");
        return false;
    }
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData()) != 0)
        return fail(errno);
    m_temp.clear();
    syncFolder(QFile::encodeName(QFileInfo(m_path).absolutePath()));
    return true;
}

std::optional<QString> TFileReplace::write(const QString& path, const QByteArray& bytes) {
    TFileReplace f(path);
    if (f.prepare(bytes) && f.commit())
        return std::nullopt;
    return f.error();
}
