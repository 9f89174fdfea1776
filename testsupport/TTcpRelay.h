#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// A relay on a free port of 127.0.0.1 in front of a server's port, on a
// thread of its own: what a client sends goes to the server, what the server
// answers goes back, and a connection that ends on one side is ended on the
// other. On request it holds the server's answers back instead, so that a
// test can end the server after it did what it was asked but before the
// client heard of it.
class TTcpRelay {
public:
    explicit TTcpRelay(int serverPort);
    ~TTcpRelay();
    TTcpRelay(const TTcpRelay&) = delete;
    TTcpRelay& operator=(const TTcpRelay&) = delete;

    int port() const { return m_port; }

    // From now on the server's answers are not passed on. Once one has come
    // and the server has then been silent for quietMs, `held` runs, once, on
    // the relay's thread; answers stay held until release().
    void holdAnswers(std::function<void()> held, int quietMs = 50);
    void release();

private:
    void run();

    int m_serverPort;
    int m_listen = -1;
    int m_port = 0;
    std::mutex m_mutex;
    bool m_holding = false;
    std::function<void()> m_held;
    int m_quietMs = 50;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
