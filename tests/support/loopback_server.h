#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One accepted connection of a LoopbackServer, driven by the test's script on
// the server's thread.
class PeerConnection
{
public:
    explicit PeerConnection(int fd) : m_fd(fd) {}
    ~PeerConnection();

    // Reads exactly n bytes, or what arrived before the peer closed or the
    // time ran out.
    std::string ReadExactly(size_t n, int timeoutMs = 5000);
    // Reads up to and including delimiter (or what arrived before a close or
    // time-out).
    std::string ReadUntil(const std::string& delimiter, int timeoutMs = 5000);
    // Reads whatever arrives within timeoutMs.
    std::string ReadFor(int timeoutMs);
    bool Write(const std::string& bytes);
    // True once the other side has closed (EOF) within timeoutMs.
    bool WaitForClose(int timeoutMs = 5000);
    void Close();
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// A TCP server on 127.0.0.1 with a free port. Every accepted connection runs
// `session` on a thread of its own; the destructor closes all and joins.
class LoopbackServer
{
public:
    using Session = std::function<void(PeerConnection&)>;

    explicit LoopbackServer(Session session);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    unsigned short Port() const { return m_port; }
    int Accepted() const { return m_accepted; }
    // Sessions that have returned.
    int Finished() const { return m_finished; }

private:
    void AcceptLoop();

    Session m_session;
    int m_listenFd = -1;
    unsigned short m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_finished{0};
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::vector<std::thread> m_sessions;
    std::vector<int> m_fds;
};

// A loopback port on which nothing listens (connections to it are refused).
unsigned short UnusedLoopbackPort();
