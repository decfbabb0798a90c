#pragma once

#include "support/loopback_server.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A scripted WebLogic agent on a loopback port for the panel tests: answers
// the handshake, then each '^', ']' and 'a' with the next answer queued for
// that command (the last one repeats), and keeps every request it received.
class FakeWlsAgent
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

    FakeWlsAgent();
    ~FakeWlsAgent();

    unsigned short Port() const { return m_server.Port(); }

    void Queue(char command, const std::string& body) { Queue(command, Answer{Answer::Report, body}); }
    void Queue(char command, Answer answer);
    // While held, poll answers wait (a slow agent).
    void HoldPolls(bool hold) { m_hold = hold; }
    // Closes the open connection between requests, as an agent that goes away.
    void Drop() { m_drop = true; }

    // An answer is used once; when none is queued the last one repeats.

    // Every request: the command byte followed by its payload.
    std::vector<std::string> Requests() const;
    std::string Commands() const;
    int Accepted() const { return m_server.Accepted(); }

private:
    void Session(PeerConnection& peer);
    Answer Next(char command);

    mutable std::mutex m_mutex;
    std::map<char, std::deque<Answer>> m_answers;
    std::map<char, Answer> m_last;
    std::vector<std::string> m_requests;
    std::atomic<bool> m_hold{false};
    std::atomic<bool> m_drop{false};
    std::atomic<bool> m_stopping{false};
    LoopbackServer m_server; // last: its sessions use the members above
};
