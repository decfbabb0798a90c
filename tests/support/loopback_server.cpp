#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace
{
int RemainingMs(std::chrono::steady_clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for input; false on time-out.
bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}
} // namespace

PeerConnection::~PeerConnection() = default;

std::string PeerConnection::ReadExactly(size_t n, int timeoutMs)
{
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < n && m_fd >= 0)
    {
        if (!WaitReadable(m_fd, RemainingMs(end)))
            break;
        char buf[4096];
        const ssize_t got = ::recv(m_fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (got <= 0)
            break;
        out.append(buf, static_cast<size_t>(got));
    }
    return out;
}

std::string PeerConnection::ReadUntil(const std::string& delimiter, int timeoutMs)
{
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0 && (out.size() < delimiter.size() ||
                         out.compare(out.size() - delimiter.size(), delimiter.size(), delimiter) != 0))
    {
        if (!WaitReadable(m_fd, RemainingMs(end)))
            break;
        char c;
        if (::recv(m_fd, &c, 1, 0) != 1)
            break;
        out.push_back(c);
    }
    return out;
}

std::string PeerConnection::ReadFor(int timeoutMs)
{
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0 && WaitReadable(m_fd, RemainingMs(end)))
    {
        char buf[4096];
        const ssize_t got = ::recv(m_fd, buf, sizeof buf, 0);
        if (got <= 0)
            break;
        out.append(buf, static_cast<size_t>(got));
    }
    return out;
}

bool PeerConnection::Write(const std::string& bytes)
{
    size_t sent = 0;
    while (m_fd >= 0 && sent < bytes.size())
    {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return sent == bytes.size();
}

bool PeerConnection::WaitForClose(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0)
    {
        if (!WaitReadable(m_fd, RemainingMs(end)))
            return false;
        char buf[256];
        if (::recv(m_fd, buf, sizeof buf, 0) <= 0)
            return true;
    }
    return true;
}

void PeerConnection::Close()
{
    // The server closes the descriptor after its session ends, so the number
    // cannot be reused while another thread may still name it.
    if (m_fd >= 0)
    {
        ::shutdown(m_fd, SHUT_RDWR);
        m_fd = -1;
    }
}

LoopbackServer::LoopbackServer(Session session) : m_session(std::move(session))
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listenFd, 16);
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    ::close(m_listenFd);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_fds)
            ::shutdown(fd, SHUT_RDWR); // wakes sessions still reading
    }
    for (auto& t : m_sessions)
        if (t.joinable())
            t.join();
    for (int fd : m_fds)
        ::close(fd);
}

void LoopbackServer::AcceptLoop()
{
    while (!m_stopping)
    {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        ++m_accepted;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fds.push_back(fd);
        m_sessions.emplace_back(
            [this, fd]
            {
                PeerConnection connection(fd);
                m_session(connection);
                connection.Close();
                ++m_finished;
            });
    }
}

unsigned short UnusedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}
