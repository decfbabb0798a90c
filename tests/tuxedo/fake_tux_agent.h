#pragma once

#include "support/loopback_server.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// A scripted Tuxedo agent on a loopback port for the panel tests: answers the
// handshake, then every '^' and ']' with the next report of its script (the
// last one repeats), and keeps the command bytes it received.
class FakeTuxAgent
{
public:
    FakeTuxAgent();
    ~FakeTuxAgent();

    unsigned short Port() const { return m_server.Port(); }

    void SetReports(std::vector<std::string> reports);
    void SetHandshakeAnswer(char answer) { m_handshake = answer; }
    // Waits this long before each poll reply (a slow agent).
    void SetPollDelayMs(int ms) { m_pollDelayMs = ms; }
    // Closes the open connection, as an agent that goes away.
    void Drop() { m_drop = true; }

    std::string Commands() const;
    int Replies() const { return m_replies; }
    int Accepted() const { return m_server.Accepted(); }

private:
    void Session(PeerConnection& peer);
    std::string NextReport();

    mutable std::mutex m_mutex;
    std::vector<std::string> m_reports;
    size_t m_next = 0;
    std::string m_commands;
    std::atomic<char> m_handshake{'\\'};
    std::atomic<int> m_pollDelayMs{0};
    std::atomic<bool> m_drop{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_replies{0};
    LoopbackServer m_server; // last: its sessions use the members above
};
