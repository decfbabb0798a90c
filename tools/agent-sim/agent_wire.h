#pragma once

#include <cstddef>
#include <string>

// The agent's side of the console's framing on one connected socket: bare
// command bytes, an 8-character length field and payload behind '^' and 'a',
// and replies as a 9-character length field and body. Shared by the stand-in
// agent and corvane-agent. Does not own or close the descriptor.
class AgentWire
{
public:
    static constexpr int PayloadTimeoutMs = 30000;
    static constexpr long MaxPayload = 64L * 1024 * 1024;

    explicit AgentWire(int fd) : m_fd(fd) {}

    int Fd() const { return m_fd; }

    // The next command byte; false when the peer left (or timeoutMs passed; -1 waits for ever).
    bool ReadCommand(char& command, int timeoutMs = -1);
    // The length field and payload behind a command; false (with the reason
    // in error) on a time-out, a lost peer or a field that is no sane length.
    bool ReadPayload(std::string& payload, std::string& error);
    // Whether a length field follows within waitMs: tells a console's '^'
    // with a document from a bare one without losing step either way.
    bool LengthFieldFollows(int waitMs);

    bool SendReply(const std::string& body) { return Send(LengthField(body.size()) + body); }
    bool Send(const std::string& bytes);
    bool WaitReadable(int timeoutMs);
    bool ReadExactly(std::size_t n, std::string& out, int timeoutMs);

    static std::string LengthField(std::size_t length);

private:
    int m_fd;
};
