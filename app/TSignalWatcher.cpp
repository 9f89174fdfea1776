#include "app/TSignalWatcher.h"

#include "core/Exception.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void TSignalWatcher::blockTerminationSignals() {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TSignalWatcher::TSignalWatcher(QObject* parent) : QObject(parent) {
    const sigset_t set = terminationSignals();
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        throw Exception(
            QStringLiteral("signalfd: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSignalWatcher::readSignals);
}

TSignalWatcher::~TSignalWatcher() {
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void TSignalWatcher::readSignals() {
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit received(static_cast<int>(info.ssi_signo));
}
