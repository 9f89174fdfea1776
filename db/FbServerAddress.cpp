#include "db/FbServerAddress.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// "host" or "host/port", brackets around an IPv6 address taken off.
FbServerAddress split(const QString& node, QChar portMark) {
    FbServerAddress a;
    QString host = node;
    const int mark = host.lastIndexOf(portMark);
    if (mark > 0 && !host.endsWith(QLatin1Char(']'))) {
        a.port = host.mid(mark + 1);
        host.truncate(mark);
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    a.host = host;
    return a;
}

bool connectsWithin(const addrinfo* ai, std::chrono::steady_clock::time_point deadline) {
    const int s =
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (s < 0)
        return false;
    bool ok = ::connect(s, ai->ai_addr, ai->ai_addrlen) == 0;
    if (!ok && errno == EINPROGRESS) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{s, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        ok = left.count() > 0 && ::poll(&p, 1, int(left.count())) == 1 &&
             ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    }
    ::close(s);
    return ok;
}

} // namespace

FbServerAddress FbServerAddress::parse(const QString& database) {
    const QString scheme = QStringLiteral("://");
    const int url = database.indexOf(scheme);
    if (url > 0 && database.left(url).startsWith(QLatin1String("inet"), Qt::CaseInsensitive)) {
        const QString rest = database.mid(url + scheme.size());
        return split(rest.left(rest.indexOf(QLatin1Char('/'))), QLatin1Char(':'));
    }
    if (database.startsWith(QLatin1Char('/')))
        return {};
    int colon = database.indexOf(QLatin1Char(':'));
    if (database.startsWith(QLatin1Char('[')))
        colon = database.indexOf(QLatin1Char(':'), database.indexOf(QLatin1Char(']')));
    if (colon <= 0)
        return {};
    return split(database.left(colon), QLatin1Char('/'));
}

bool FbServerAddress::answers(int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray h = host.toUtf8();
    const QByteArray p = port.toUtf8();
    if (::getaddrinfo(h.constData(), p.constData(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (const addrinfo* ai = found; ai && !ok; ai = ai->ai_next)
        ok = connectsWithin(ai, deadline);
    ::freeaddrinfo(found);
    return ok;
}
