#include "fake_wls_agent.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

FakeWlsAgent::FakeWlsAgent() : m_server([this](PeerConnection& peer) { Session(peer); }) {}

FakeWlsAgent::~FakeWlsAgent()
{
    m_stopping = true;
}

void FakeWlsAgent::Queue(char command, Answer answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[command].push_back(std::move(answer));
}

std::vector<std::string> FakeWlsAgent::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::string FakeWlsAgent::Commands() const
{
    std::string commands;
    for (const std::string& r : Requests())
        commands += r[0];
    return commands;
}

FakeWlsAgent::Answer FakeWlsAgent::Next(char command)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Start and polls share one script: the first report answers '^'.
    const char key = command == '^' ? ']' : command;
    std::deque<Answer>& queue = m_answers[key];
    if (queue.empty())
        return m_last[key];
    m_last[key] = queue.front();
    queue.pop_front();
    return m_last[key];
}

void FakeWlsAgent::Session(PeerConnection& peer)
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
        if (command == '^' || command == 'a')
        {
            const std::string field = peer.ReadExactly(8);
            request += peer.ReadExactly(static_cast<size_t>(std::atoi(field.c_str())));
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        if (command == '[')
        {
            peer.Write("\\");
            continue;
        }
        if (command == '_')
            return;
        if (command == ']')
        {
            while (m_hold && !m_stopping)
            {
                pollfd hup{peer.Fd(), POLLRDHUP, 0};
                if (::poll(&hup, 1, 5) > 0)
                    return; // the client gave up
            }
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
    }
}
