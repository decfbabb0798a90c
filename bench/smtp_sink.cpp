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
struct Session
{
    std::string in;
    bool inData = false;
    bool closing = false;
};

void Send(int fd, const char* text)
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

// Answers what has arrived, counting each mail before its "250" goes out.
void Serve(int fd, Session& session, std::atomic<size_t>& accepted)
{
    for (;;)
    {
        if (session.inData)
        {
            // The data ends with a line holding only "."; the CRLF put before
            // it at DATA lets an empty message end the same way.
            const size_t end = session.in.find("\r\n.\r\n");
            if (end == std::string::npos)
            {
                // Keep only what could begin the end mark.
                if (session.in.size() > 4)
                    session.in.erase(0, session.in.size() - 4);
                return;
            }
            session.in.erase(0, end + 5);
            session.inData = false;
            ++accepted;
            Send(fd, "250 queued\r\n");
            continue;
        }
        const size_t eol = session.in.find("\r\n");
        if (eol == std::string::npos)
            return;
        const std::string verb = Verb(session.in.substr(0, eol));
        session.in.erase(0, eol + 2);
        if (verb == "HELO" || verb == "EHLO")
            Send(fd, "250 sink\r\n");
        else if (verb == "MAIL" || verb == "RCPT" || verb == "RSET" || verb == "NOOP")
            Send(fd, "250 ok\r\n");
        else if (verb == "DATA")
        {
            Send(fd, "354 end with <CRLF>.<CRLF>\r\n");
            session.inData = true;
            session.in.insert(0, "\r\n");
        }
        else if (verb == "QUIT")
        {
            Send(fd, "221 bye\r\n");
            session.closing = true;
            return;
        }
        else
            Send(fd, "500 unknown command\r\n");
    }
}
} // namespace

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
    std::map<int, Session> sessions;
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
                sessions[fd] = Session();
                Send(fd, "220 sink ESMTP\r\n");
            }
        }
        for (size_t i = 2; i < watched.size(); ++i)
        {
            if (!watched[i].revents)
                continue;
            const int fd = watched[i].fd;
            Session& session = sessions[fd];
            char buffer[16384];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
            {
                session.in.append(buffer, static_cast<size_t>(n));
                Serve(fd, session, m_accepted);
            }
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN) || session.closing)
            {
                ::close(fd);
                sessions.erase(fd);
            }
        }
    }
    for (const auto& entry : sessions)
        ::close(entry.first);
}
