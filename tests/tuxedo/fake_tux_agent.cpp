#include "fake_tux_agent.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>

FakeTuxAgent::FakeTuxAgent() : m_server([this](PeerConnection& peer) { Session(peer); }) {}

FakeTuxAgent::~FakeTuxAgent()
{
    m_stopping = true;
}

void FakeTuxAgent::SetReports(std::vector<std::string> reports)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reports = std::move(reports);
    m_next = 0;
}

std::string FakeTuxAgent::Commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::string FakeTuxAgent::NextReport()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_reports.empty())
        return std::string();
    const std::string& report = m_reports[std::min(m_next, m_reports.size() - 1)];
    ++m_next;
    return report;
}

void FakeTuxAgent::Session(PeerConnection& peer)
{
    m_drop = false;
    for (;;)
    {
        if (m_drop || m_stopping)
        {
            m_drop = false;
            return; // the server closes the connection
        }
        pollfd p{peer.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char command = 0;
        if (::recv(peer.Fd(), &command, 1, 0) != 1)
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_commands.push_back(command);
        }
        if (command == '[')
        {
            peer.Write(std::string(1, m_handshake.load()));
        }
        else if (command == '^' || command == ']')
        {
            if (command == ']')
            {
                const auto until = std::chrono::steady_clock::now() +
                                   std::chrono::milliseconds(m_pollDelayMs.load());
                while (std::chrono::steady_clock::now() < until && !m_stopping && !m_drop)
                {
                    // A client that gives up closes its end: stop waiting then.
                    pollfd hup{peer.Fd(), POLLRDHUP, 0};
                    if (::poll(&hup, 1, 5) > 0)
                        return;
                }
            }
            const std::string report = NextReport();
            char field[16];
            std::snprintf(field, sizeof field, "%09zu", report.size());
            peer.Write(field + report);
            ++m_replies;
        }
        else if (command == '_')
        {
            return;
        }
    }
}
