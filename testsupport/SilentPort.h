#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP port of 127.0.0.1 that takes connections and never says a word, as
// a server that hangs or a line that drops everything after the handshake.
class SilentPort {
public:
    explicit SilentPort(int backlog, int port = 0) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(quint16(port));
        socklen_t len = sizeof a;
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        ::listen(m_fd, backlog);
        m_port = ntohs(a.sin_port);
    }
    ~SilentPort() { ::close(m_fd); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port nobody listens on.
inline int closedPort() {
    const SilentPort taken(1);
    return taken.port();
}
