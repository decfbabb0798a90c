#include "agent_wire.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

std::string AgentWire::LengthField(std::size_t length)
{
    char field[32];
    std::snprintf(field, sizeof field, "%9zu", length);
    return field;
}

bool AgentWire::WaitReadable(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    for (;;)
    {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

bool AgentWire::ReadExactly(std::size_t n, std::string& out, int timeoutMs)
{
    out.clear();
    while (out.size() < n)
    {
        if (!WaitReadable(timeoutMs))
            return false;
        char buffer[65536];
        const ssize_t got = ::recv(m_fd, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (got <= 0)
        {
            if (got < 0 && errno == EINTR)
                continue;
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool AgentWire::Send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool AgentWire::ReadCommand(char& command, int timeoutMs)
{
    std::string byte;
    if (!ReadExactly(1, byte, timeoutMs))
        return false;
    command = byte[0];
    return true;
}

bool AgentWire::LengthFieldFollows(int waitMs)
{
    if (!WaitReadable(waitMs))
        return false;
    char next = 0;
    return ::recv(m_fd, &next, 1, MSG_PEEK) == 1 &&
           (next == ' ' || next == '-' || next == '+' || (next >= '0' && next <= '9'));
}

bool AgentWire::ReadPayload(std::string& payload, std::string& error)
{
    std::string field;
    if (!ReadExactly(8, field, PayloadTimeoutMs))
    {
        error = "no length field";
        return false;
    }
    const long length = std::strtol(field.c_str(), nullptr, 10);
    if (length <= 0 || length > MaxPayload)
    {
        error = "bad payload length field [" + field + "]";
        return false;
    }
    if (!ReadExactly(static_cast<std::size_t>(length), payload, PayloadTimeoutMs))
    {
        error = "the payload did not arrive whole";
        return false;
    }
    return true;
}
