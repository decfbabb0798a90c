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
// How long a '^' of unknown kind waits for a length field to follow.
constexpr int PayloadGuessMs = 200;
constexpr long long DomainAgeSeconds = 3 * 24 * 3600;

std::mutex g_logMutex;

void Pause(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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
    : m_options(options), m_script(script), m_fd(fd), m_wire(fd)
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
    return m_wire.LengthFieldFollows(PayloadGuessMs);
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
        return m_wire.Send(AgentWire::LengthField(body.size()) + body);

    Pause(m_options.slowMs);
    switch (m_options.badLength)
    {
    case SimOptions::BadLength::NonNumeric:
        m_wire.Send("abcdefghi");
        return true;
    case SimOptions::BadLength::Negative:
        m_wire.Send("       -1");
        return true;
    case SimOptions::BadLength::Huge:
        m_wire.Send("999999999" + body);
        return true;
    case SimOptions::BadLength::None:
        break;
    }
    const std::string field = AgentWire::LengthField(body.size());
    if (m_options.closeMidReply)
    {
        m_wire.Send(field + body.substr(0, body.size() / 2));
        Log("closing in the middle of a reply");
        return false;
    }
    if (m_options.trickleMs >= 0)
    {
        // The field in two pieces, the body in up to eight.
        if (!m_wire.Send(field.substr(0, 4)))
            return false;
        Pause(m_options.trickleMs);
        if (!m_wire.Send(field.substr(4)))
            return false;
        const size_t piece = std::max<size_t>(1, (body.size() + 7) / 8);
        for (size_t at = 0; at < body.size(); at += piece)
        {
            Pause(m_options.trickleMs);
            if (!m_wire.Send(body.substr(at, piece)))
                return false;
        }
        return true;
    }
    return m_wire.Send(field + body);
}

void Conversation::Run()
{
    for (;;)
    {
        char c = 0;
        if (!m_wire.ReadCommand(c))
            return; // the peer left
        switch (c)
        {
        case '[':
            Log("handshake");
            if (m_options.noHandshake)
                break;
            if (!m_wire.Send(m_options.badHandshake ? "]" : "\\"))
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
            std::string error;
            if (PayloadFollows(c) && !m_wire.ReadPayload(payload, error))
            {
                Log(error);
                return;
            }
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
