#include "testsupport/TTcpRelay.h"

#include <chrono>
#include <stdexcept>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    return a;
}

bool sendAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

struct Pair {
    int client;
    int server;
};

} // namespace

TTcpRelay::TTcpRelay(int serverPort) : m_serverPort(serverPort) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (m_listen >= 0)
            ::close(m_listen);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { run(); });
}

TTcpRelay::~TTcpRelay() {
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

void TTcpRelay::holdAnswers(std::function<void()> held, int quietMs) {
    std::lock_guard lock(m_mutex);
    m_holding = true;
    m_held = std::move(held);
    m_quietMs = quietMs;
}

void TTcpRelay::release() {
    std::lock_guard lock(m_mutex);
    m_holding = false;
    m_held = nullptr;
}

void TTcpRelay::run() {
    std::vector<Pair> pairs;
    std::vector<char> buffer(65536);
    bool answerHeld = false;
    Clock::time_point lastHeld;
    const auto end = [](const Pair& p) {
        ::close(p.client);
        ::close(p.server);
    };
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
        for (const Pair& p : pairs) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 10);
        std::vector<Pair> alive;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const Pair& p = pairs[i];
            bool ok = true;
            if (fds[1 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(p.client, buffer.data(), buffer.size(), 0);
                ok = n > 0 && sendAll(p.server, buffer.data(), n);
            }
            if (ok && fds[2 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(p.server, buffer.data(), buffer.size(), 0);
                bool holding = false;
                {
                    std::lock_guard lock(m_mutex);
                    holding = m_holding;
                }
                if (n > 0 && holding) {
                    answerHeld = true;
                    lastHeld = Clock::now();
                } else {
                    ok = n > 0 && sendAll(p.client, buffer.data(), n);
                }
            }
            if (ok)
                alive.push_back(p);
            else
                end(p);
        }
        pairs.swap(alive);
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in a = loopback(m_serverPort);
            if (client >= 0 && server >= 0 &&
                ::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
                pairs.push_back({client, server});
            } else {
                ::close(client); // no server: the client sees the connection end at once
                ::close(server);
            }
        }
        std::function<void()> held;
        {
            std::lock_guard lock(m_mutex);
            if (!m_holding)
                answerHeld = false;
            else if (answerHeld && m_held &&
                     Clock::now() - lastHeld >= std::chrono::milliseconds(m_quietMs))
                held = std::exchange(m_held, nullptr);
        }
        if (held)
            held();
    }
    for (const Pair& p : pairs)
        end(p);
}
