#include "sim_conversation.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

namespace
{
constexpr int PayloadTimeoutMs = 30000;
// How long a '^' of unknown kind waits for a length field to follow.
constexpr int PayloadGuessMs = 200;
constexpr long MaxPayload = 64L * 1024 * 1024;
constexpr long long DomainAgeSeconds = 3 * 24 * 3600;

std::mutex g_logMutex;

void Pause(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string LengthField(size_t length)
{
    char field[32];
    std::snprintf(field, sizeof field, "%9zu", length);
    return field;
}
} // namespace

bool LoadSimScript(const std::string& dir, SimScript& script, std::string& error)
{
    DIR* d = ::opendir(dir.c_str());
    if (!d)
    {
        error = "cannot read the script directory " + dir;
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(d))
    {
        const std::string name = entry->d_name;
        struct stat info{};
        if (name[0] != '.' && ::stat((dir + "/" + name).c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    if (names.empty())
    {
        error = "the script directory " + dir + " holds no files";
        return false;
    }
    script.names.clear();
    script.contents.clear();
    for (const std::string& name : names)
    {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        script.names.push_back(name);
        script.contents.push_back(bytes.str());
    }
    return true;
}

Conversation::Conversation(const SimOptions& options, const SimScript* script, int fd)
    : m_options(options), m_script(script), m_fd(fd)
{
    m_clock = options.epoch >= 0 ? options.epoch : static_cast<long long>(std::time(nullptr));
}

long long Conversation::Now() const
{
    return m_options.epoch >= 0 ? m_clock : static_cast<long long>(std::time(nullptr));
}

void Conversation::Log(const std::string& text) const
{
    if (!m_options.verbose)
        return;
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::cerr << "corvane-agent-sim [" << m_fd << "] " << text << std::endl;
}

bool Conversation::WaitReadable(int timeoutMs)
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

bool Conversation::ReadExactly(size_t n, std::string& out, int timeoutMs)
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
        out.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool Conversation::Send(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool Conversation::PayloadFollows(char command)
{
    if (command == 'a')
        return true;
    if (command != '^')
        return false;
    if (m_options.mode == SimOptions::Mode::WebLogic)
        return true;
    // A console sends the length field right behind the command byte, so a
    // short wait tells a WebLogic start (a console set up for the wrong kind
    // of site, or a script) from a Tuxedo one, and the conversation stays in
    // step either way.
    if (!WaitReadable(PayloadGuessMs))
        return false;
    char next = 0;
    return ::recv(m_fd, &next, 1, MSG_PEEK) == 1 &&
           (next == ' ' || next == '-' || next == '+' || (next >= '0' && next <= '9'));
}

bool Conversation::ReadPayload(std::string& payload)
{
    std::string field;
    if (!ReadExactly(8, field, PayloadTimeoutMs))
        return false;
    const long length = std::strtol(field.c_str(), nullptr, 10);
    if (length <= 0 || length > MaxPayload)
    {
        Log("bad payload length field [" + field + "]");
        return false;
    }
    return ReadExactly(static_cast<size_t>(length), payload, PayloadTimeoutMs);
}

std::string Conversation::Answer(char command, const std::string& payload)
{
    if (m_script)
    {
        const size_t count = m_script->contents.size();
        size_t index = m_nextFile;
        if (index >= count)
            index = m_options.scriptLoop ? index % count : count - 1;
        ++m_nextFile;
        Log("serving " + m_script->names[index]);
        return m_script->contents[index];
    }

    const bool faulty = m_replies >= m_options.faultAfter;
    const std::string error = faulty ? m_options.errorText : std::string();
    if (command == 'a')
        return ThreadDumpAnswer(Now(), payload);

    const bool first = !m_started;
    if (first)
    {
        const long long boot = Now() - DomainAgeSeconds;
        if (m_options.mode == SimOptions::Mode::WebLogic)
        {
            WlsDomain::Config c;
            c.servers = m_options.Servers();
            c.pools = m_options.pools;
            c.version = m_options.wlsVersion;
            c.seed = m_options.seed;
            m_wls = std::make_unique<WlsDomain>(c, boot);
        }
        else
        {
            TuxDomain::Config c;
            c.servers = m_options.Servers();
            c.queues = m_options.queues;
            c.clients = m_options.clients;
            c.seed = m_options.seed;
            m_tux = std::make_unique<TuxDomain>(c, boot);
        }
        m_started = true;
    }
    if (command == '^' && m_wls)
        m_v8Layout = RequestAsksV8(payload, m_options.wlsVersion);
    // A poll moves the domain on; a start (or a poll before any start) shows it as it is.
    if (command == ']' && !first)
    {
        if (m_options.epoch >= 0)
            m_clock += m_options.stepSeconds;
        if (m_tux)
            m_tux->Step(Now());
        if (m_wls)
            m_wls->Step();
    }
    return m_tux ? m_tux->Report(Now(), error) : m_wls->Report(Now(), m_v8Layout, error);
}

bool Conversation::Reply(const std::string& body)
{
    const bool faulty = m_replies++ >= m_options.faultAfter;
    if (!faulty)
        return Send(LengthField(body.size()) + body);

    Pause(m_options.slowMs);
    switch (m_options.badLength)
    {
    case SimOptions::BadLength::NonNumeric:
        Send("abcdefghi");
        return true;
    case SimOptions::BadLength::Negative:
        Send("       -1");
        return true;
    case SimOptions::BadLength::Huge:
        Send("999999999" + body);
        return true;
    case SimOptions::BadLength::None:
        break;
    }
    const std::string field = LengthField(body.size());
    if (m_options.closeMidReply)
    {
        Send(field + body.substr(0, body.size() / 2));
        Log("closing in the middle of a reply");
        return false;
    }
    if (m_options.trickleMs >= 0)
    {
        // The field in two pieces, the body in up to eight.
        if (!Send(field.substr(0, 4)))
            return false;
        Pause(m_options.trickleMs);
        if (!Send(field.substr(4)))
            return false;
        const size_t piece = std::max<size_t>(1, (body.size() + 7) / 8);
        for (size_t at = 0; at < body.size(); at += piece)
        {
            Pause(m_options.trickleMs);
            if (!Send(body.substr(at, piece)))
                return false;
        }
        return true;
    }
    return Send(field + body);
}

void Conversation::Run()
{
    for (;;)
    {
        std::string command;
        if (!ReadExactly(1, command, -1))
            return; // the peer left
        const char c = command[0];
        switch (c)
        {
        case '[':
            Log("handshake");
            if (m_options.noHandshake)
                break;
            if (!Send(m_options.badHandshake ? "]" : "\\"))
                return;
            break;
        case '_':
            Log("goodbye");
            return;
        case '^':
        case ']':
        case 'a':
        {
            std::string payload;
            if (PayloadFollows(c) && !ReadPayload(payload))
                return;
            Log(std::string("command ") + c + ", payload " + std::to_string(payload.size()) +
                " bytes");
            if (!Reply(Answer(c, payload)))
                return;
            if (c == ']' && ++m_polls == m_options.closeAfterPolls)
            {
                Log("closing after " + std::to_string(m_polls) + " polls");
                return;
            }
            break;
        }
        default:
            Log(std::string("ignoring byte ") + std::to_string(static_cast<unsigned char>(c)));
            break;
        }
    }
}
