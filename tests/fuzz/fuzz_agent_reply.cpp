// The agent's side of the wire: after a good handshake the input is all the
// agent ever sends, then it closes its side. The console makes up to four
// exchanges in a row on a real loopback connection, so replies that end
// early, lie in their length field or leave bytes behind all reach the
// framing as they would from the network. Each reply must be exactly what
// the framing rules make of the byte stream, computed here independently.
#include "fuzz_support.h"

#include "agent/agent_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
// Inputs beyond this would not fit the socket buffers at once; replies that
// large test nothing the smaller ones do not.
constexpr std::size_t kMaxInput = 256 * 1024;

int g_listener = -1;
unsigned short g_port = 0;

void Listen()
{
    g_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(g_listener >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(::bind(g_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    FUZZ_CHECK(::listen(g_listener, 8) == 0);
    socklen_t length = sizeof address;
    FUZZ_CHECK(::getsockname(g_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    g_port = ntohs(address.sin_port);
}

void WriteAll(int fd, const char* bytes, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        FUZZ_CHECK(n > 0);
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

// What the framing makes of the agent's byte stream, exchange by exchange:
// a 9-byte length field read as atoi reads it; 0 is an empty reply in step;
// no number, a negative one or one over the cap leaves the stream out of
// step and the link unusable; a body cut short by the close is handed over
// as far as it came.
class Reference
{
public:
    explicit Reference(const std::string& stream) : m_stream(stream) {}

    std::string Next()
    {
        if (m_unusable || m_at + 9 > m_stream.size())
        {
            m_at = m_stream.size();
            return std::string();
        }
        const std::string field = m_stream.substr(m_at, 9);
        m_at += 9;
        const long length = std::atol(field.c_str());
        if (length == 0 && HasNumber(field))
            return std::string();
        if (length <= 0 || length > AgentLink::MaxReplyBytes)
        {
            m_unusable = true;
            return std::string();
        }
        const std::string body = m_stream.substr(m_at, static_cast<std::size_t>(length));
        m_at += body.size();
        return body;
    }

private:
    static bool HasNumber(const std::string& field)
    {
        const char* p = field.c_str();
        while (std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (*p == '+' || *p == '-')
            ++p;
        return *p >= '0' && *p <= '9';
    }

    const std::string& m_stream;
    std::size_t m_at = 0;
    bool m_unusable = false;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    Listen();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > kMaxInput)
        return 0;
    const std::string stream(reinterpret_cast<const char*>(data), size);

    // Short waits: nothing here ever waits for bytes that are still coming,
    // since the agent has sent all and closed before the console reads.
    AgentLink link(AgentLink::Timeouts{2000, 2000});
    FUZZ_CHECK(link.Connect("127.0.0.1", g_port) == 1);
    const int agent = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
    FUZZ_CHECK(agent >= 0);
    const int room = static_cast<int>(2 * kMaxInput);
    ::setsockopt(agent, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    WriteAll(agent, "\\", 1);
    WriteAll(agent, stream.data(), stream.size());
    ::shutdown(agent, SHUT_WR);

    FUZZ_CHECK(link.Handshake() == 1);
    Reference reference(stream);
    // The first poll of a WebLogic site carries its request document.
    const std::string payloads[] = {"<wlsagent/>", "", "", ""};
    const char commands[] = {'^', ']', ']', 'a'};
    for (int i = 0; i < 4; ++i)
    {
        const std::string reply = link.RequestBytes(commands[i], payloads[i]);
        FUZZ_CHECK(reply == reference.Next());
    }
    FUZZ_CHECK(link.Close() == 1);
    FUZZ_CHECK(link.IsAlive() == -1);
    ::close(agent);
    return 0;
}
