#include "agent/fake_agent.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

FakeAgent::FakeAgent(bool readsPayloads)
    : m_readsPayloads(readsPayloads), m_server([this](PeerConnection& peer) { Session(peer); })
{
}

FakeAgent::~FakeAgent()
{
    m_stopping = true;
}

void FakeAgent::Queue(char command, Answer answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[command == '^' ? ']' : command].push_back(std::move(answer));
}

void FakeAgent::SetReports(const std::vector<std::string>& reports)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[']'].clear();
    for (const std::string& report : reports)
        m_answers[']'].push_back(Answer{Answer::Report, report});
}

std::vector<std::string> FakeAgent::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::string FakeAgent::Commands() const
{
    std::string commands;
    for (const std::string& r : Requests())
        commands += r[0];
    return commands;
}

FakeAgent::Answer FakeAgent::Next(char command)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const char key = command == '^' ? ']' : command;
    std::deque<Answer>& queue = m_answers[key];
    if (!queue.empty())
    {
        m_last[key] = queue.front();
        queue.pop_front();
    }
    return m_last[key];
}

void FakeAgent::Session(PeerConnection& peer)
{
    for (;;)
    {
        if (m_drop.exchange(false) || m_stopping)
            return; // the server closes the connection
        pollfd p{peer.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char command = 0;
        if (::recv(peer.Fd(), &command, 1, 0) != 1)
            return;
        std::string request(1, command);
        if (m_readsPayloads && (command == '^' || command == 'a'))
            request += peer.ReadExactly(static_cast<size_t>(std::atoi(peer.ReadExactly(8).c_str())));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        if (command == '[')
        {
            peer.Write(std::string(1, m_handshake.load()));
            continue;
        }
        if (command == '_')
            return;
        while (command == ']' && m_hold && !m_stopping && !m_drop)
        {
            pollfd hup{peer.Fd(), POLLRDHUP, 0};
            if (::poll(&hup, 1, 5) > 0)
                return; // the client gave up
        }
        const Answer answer = Next(command);
        if (answer.kind == Answer::Close)
            return;
        if (answer.kind == Answer::BadLength)
        {
            peer.Write("999999999");
            continue;
        }
        char field[16];
        std::snprintf(field, sizeof field, "%9zu", answer.body.size());
        peer.Write(field + answer.body);
        ++m_replies;
    }
}
