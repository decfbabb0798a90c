#pragma once

#include "support/loopback_server.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A scripted agent on a loopback port for the panel tests: answers the
// handshake, then every '^', ']' and 'a' with the next answer queued for it
// ('^' and ']' share one script: the first report answers Start), and keeps
// every request it received. An answer is used once; when none is queued the
// last one repeats.
class FakeAgent
{
public:
    struct Answer
    {
        enum Kind
        {
            Report,    // a framed reply carrying body
            Close,     // the agent goes away instead of answering
            BadLength, // a length field no reply may have
        };
        Kind kind = Report;
        std::string body;
    };

    // A WebLogic agent reads the length field and document behind '^' and
    // 'a'; a Tuxedo agent takes the command byte alone.
    explicit FakeAgent(bool readsPayloads);
    ~FakeAgent();

    unsigned short Port() const { return m_server.Port(); }

    void Queue(char command, const std::string& body) { Queue(command, Answer{Answer::Report, body}); }
    void Queue(char command, Answer answer);
    // Replaces the poll script with these reports.
    void SetReports(const std::vector<std::string>& reports);
    void SetHandshakeAnswer(char answer) { m_handshake = answer; }
    // While held, poll answers wait (a slow agent) until released or the
    // client hangs up.
    void HoldPolls(bool hold) { m_hold = hold; }
    // Closes the open connection between requests, as an agent that goes away.
    void Drop() { m_drop = true; }

    // Every request: the command byte followed by its payload.
    std::vector<std::string> Requests() const;
    std::string Commands() const;
    int Replies() const { return m_replies; }
    int Accepted() const { return m_server.Accepted(); }

private:
    void Session(PeerConnection& peer);
    Answer Next(char command);

    const bool m_readsPayloads;
    mutable std::mutex m_mutex;
    std::map<char, std::deque<Answer>> m_answers;
    std::map<char, Answer> m_last;
    std::vector<std::string> m_requests;
    std::atomic<char> m_handshake{'\\'};
    std::atomic<bool> m_hold{false};
    std::atomic<bool> m_drop{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_replies{0};
    LoopbackServer m_server; // last: its sessions use the members above
};
