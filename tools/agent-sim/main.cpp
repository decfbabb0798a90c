// corvane-agent-sim: a stand-in Tuxedo or WebLogic agent for the demo, the
// tests and the benchmarks. See --help.
#include "sim_conversation.h"
#include "sim_options.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(args, options, error))
    {
        std::cerr << "corvane-agent-sim: " << error << "\n(see --help)\n";
        return 2;
    }
    if (options.help)
    {
        std::cout << SimUsage();
        return 0;
    }
    static SimScript script;
    if (options.Scripted() && !LoadSimScript(options.scriptDir, script, error))
    {
        std::cerr << "corvane-agent-sim: " << error << "\n";
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(options.host.c_str(), nullptr, &hints, &found) != 0 || !found)
    {
        std::cerr << "corvane-agent-sim: cannot resolve " << options.host << "\n";
        return 2;
    }
    sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    address.sin_port = htons(static_cast<unsigned short>(options.port));

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0)
    {
        std::cerr << "corvane-agent-sim: cannot listen on " << options.host << ":" << options.port
                  << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    // The port alone on the first line, at once: scripts and tests wait for it.
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    std::cerr << "corvane-agent-sim: "
              << (options.Scripted() ? "script " + options.scriptDir
                                     : options.mode == SimOptions::Mode::WebLogic
                                           ? "WebLogic " + std::to_string(options.wlsVersion) + " domain"
                                           : std::string("Tuxedo domain"))
              << " on " << options.host << ":" << ntohs(address.sin_port) << std::endl;

    for (;;)
    {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE)
                continue;
            std::cerr << "corvane-agent-sim: accept: " << std::strerror(errno) << "\n";
            return 1;
        }
        const int nodelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
        std::thread(
            [fd, &options]
            {
                Conversation conversation(options, options.Scripted() ? &script : nullptr, fd);
                conversation.Run();
                ::close(fd);
            })
            .detach();
    }
}
