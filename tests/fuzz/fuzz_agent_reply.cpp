// The agent's side of the wire: after a good handshake the input is all the
// agent ever sends, then it closes its side. The console makes four
// exchanges in a row on a real loopback connection, so replies that end
// early, lie in their length field or leave bytes behind all reach the
// framing as they would from the network: a crash and sanitizer driver.
#include "fuzz_support.h"

#include "agent/agent_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
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
    // Short waits: nothing here waits for bytes that are still coming, since
    // the agent has sent all and closed before the console reads.
    AgentLink link(AgentLink::Timeouts{2000, 2000});
    FUZZ_CHECK(link.Connect("127.0.0.1", g_port) == 1);
    const int agent = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
    FUZZ_CHECK(agent >= 0);
    const int room = static_cast<int>(2 * kMaxInput);
    ::setsockopt(agent, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    WriteAll(agent, "\\", 1);
    WriteAll(agent, reinterpret_cast<const char*>(data), size);
    ::shutdown(agent, SHUT_WR);

    link.Handshake();
    // The first poll of a WebLogic site carries its request document.
    const std::string payloads[] = {"<wlsagent/>", "", "", ""};
    const char commands[] = {'^', ']', ']', 'a'};
    for (int i = 0; i < 4; ++i)
        link.RequestBytes(commands[i], payloads[i]);
    link.Close();
    ::close(agent);
    return 0;
}
