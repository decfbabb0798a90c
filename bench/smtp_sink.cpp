#include "smtp_sink.h"

#include "sim_listen.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

namespace
{
void Send(int fd, const std::string& text)
{
    // Replies are a few bytes; the client reads them as they come.
    std::string rest(text);
    while (!rest.empty())
    {
        const ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        rest.erase(0, static_cast<size_t>(n));
    }
}

std::string Verb(const std::string& line)
{
    std::string verb;
    for (size_t i = 0; i < line.size() && i < 4; ++i)
        verb.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(line[i]))));
    return verb;
}
} // namespace

std::string SmtpSinkSession::Feed(const std::string& bytes)
{
    std::string replies;
    m_in += bytes;
    while (!m_closing)
    {
        if (m_inData)
        {
            // The data ends with a line holding only "."; the CRLF put before
            // it at DATA lets an empty message end the same way.
            const size_t end = m_in.find("\r\n.\r\n");
            if (end == std::string::npos)
            {
                // Keep only what could begin the end mark.
                if (m_in.size() > 4)
                    m_in.erase(0, m_in.size() - 4);
                break;
            }
            m_in.erase(0, end + 5);
            m_inData = false;
            ++m_accepted;
            replies += "250 queued\r\n";
            continue;
        }
        const size_t eol = m_in.find("\r\n");
        if (eol == std::string::npos)
            break;
        const std::string verb = Verb(m_in.substr(0, eol));
        m_in.erase(0, eol + 2);
        if (verb == "HELO" || verb == "EHLO")
            replies += "250 sink\r\n";
        else if (verb == "MAIL" || verb == "RCPT" || verb == "RSET" || verb == "NOOP")
            replies += "250 ok\r\n";
        else if (verb == "DATA")
        {
            replies += "354 end with <CRLF>.<CRLF>\r\n";
            m_inData = true;
            m_in.insert(0, "\r\n");
        }
        else if (verb == "QUIT")
        {
            replies += "221 bye\r\n";
            m_closing = true;
        }
        else
            replies += "500 unknown command\r\n";
    }
    return replies;
}

SmtpSink::SmtpSink()
{
    std::string error;
    m_listen = ListenOn("127.0.0.1", 0, m_port, error);
    // A burst of mails connects all at once: past the backlog the kernel
    // drops connection requests, and each client waits a second to try again.
    if (m_listen < 0 || ::listen(m_listen, 1024) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0)
    {
        m_port = 0;
        return;
    }
    m_thread = std::thread([this] { Run(); });
}

SmtpSink::~SmtpSink()
{
    if (m_thread.joinable())
    {
        const char stop = 0;
        while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR)
        {
        }
        m_thread.join();
    }
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

void SmtpSink::Run()
{
    std::map<int, SmtpSinkSession> sessions;
    for (;;)
    {
        std::vector<pollfd> watched{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const auto& entry : sessions)
            watched.push_back({entry.first, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[0].revents)
            break;
        if (watched[1].revents & POLLIN)
        {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
            {
                sessions[fd] = SmtpSinkSession();
                Send(fd, SmtpSinkSession::Greeting());
            }
        }
        for (size_t i = 2; i < watched.size(); ++i)
        {
            if (!watched[i].revents)
                continue;
            const int fd = watched[i].fd;
            SmtpSinkSession& session = sessions[fd];
            char buffer[16384];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
            {
                // Counted before the "250" goes out: a client that has it may
                // already be looking at the count.
                const size_t before = session.Accepted();
                const std::string replies = session.Feed(std::string(buffer, static_cast<size_t>(n)));
                m_accepted += session.Accepted() - before;
                Send(fd, replies);
            }
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN) || session.Closing())
            {
                ::close(fd);
                sessions.erase(fd);
            }
        }
    }
    for (const auto& entry : sessions)
        ::close(entry.first);
}
