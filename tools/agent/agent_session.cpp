#include "agent_session.h"

#include "request_doc.h"

#include <ctime>
#include <iostream>
#include <mutex>

namespace
{
// How long a '^' waits for the length field of its document: a console sends
// it right behind the command byte.
constexpr int DocumentWaitMs = 200;

long long Now()
{
    return static_cast<long long>(std::time(nullptr));
}
} // namespace

void AgentLog(const std::string& line)
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << "corvane-agent: " << line << std::endl;
}

AgentSession::AgentSession(const AgentOptions& options, int fd, std::string peer)
    : m_wire(fd), m_peer(std::move(peer)), m_poller(options)
{
}

void AgentSession::Log(const std::string& text) const
{
    AgentLog("console " + m_peer + ": " + text);
}

std::string AgentSession::Poll()
{
    const DomainSnapshot snap = m_poller.Poll();
    const std::string errMsg = snap.ErrMsg();
    if (!errMsg.empty())
        Log("poll: " + errMsg);
    return BuildMonitorReport(snap, Now());
}

std::string AgentSession::Answer(char command, const std::string& payload)
{
    if (command == '^')
    {
        DomainRequest request;
        std::string error;
        if (payload.empty())
            error = "a start without a request document: is the site set up as a WebLogic site?";
        else if (ParseDomainRequest(payload, request, error))
            m_poller.Configure(request, error);
        m_ready = error.empty();
        if (!m_ready)
        {
            m_notReady = error;
            Log("start: " + error);
            return MessageReport(error, Now());
        }
        // The principal names the account; the password is never written anywhere.
        Log("start: reading " + m_poller.BaseUrl() + " as " + request.principal);
        return Poll();
    }
    if (!m_ready)
    {
        Log(std::string(command == 'a' ? "thread dump: " : "poll: ") + m_notReady);
        return MessageReport(m_notReady, Now());
    }
    if (command == ']')
        return Poll();

    std::vector<DumpTarget> targets;
    std::string message;
    if (ParseDumpRequest(payload, targets, message))
        message = m_poller.TakeThreadDumps(targets);
    Log("thread dump: " + message);
    return MessageReport(message, Now());
}

void AgentSession::Run()
{
    Log("connected");
    for (;;)
    {
        char command = 0;
        if (!m_wire.ReadCommand(command))
        {
            Log("left");
            return;
        }
        switch (command)
        {
        case '[':
            if (!m_wire.Send("\\"))
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
            const bool follows =
                command == 'a' || (command == '^' && m_wire.LengthFieldFollows(DocumentWaitMs));
            if (follows && !m_wire.ReadPayload(payload, error))
            {
                Log(error + ": out of step, closing");
                return;
            }
            if (!m_wire.SendReply(Answer(command, payload)))
            {
                Log("left in the middle of a reply");
                return;
            }
            break;
        }
        default:
            Log("ignoring byte " + std::to_string(static_cast<unsigned char>(command)));
            break;
        }
    }
}
