// corvane-agent-sim: a stand-in Tuxedo or WebLogic agent for the demo, the
// tests and the benchmarks. See --help.
#include "sim_conversation.h"
#include "sim_listen.h"
#include "sim_options.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

    unsigned short port = 0;
    const int listener = ListenOn(options.host, options.port, port, error);
    if (listener < 0)
    {
        std::cerr << "corvane-agent-sim: " << error << "\n";
        return 1;
    }
    // The port alone on the first line, at once: scripts and tests wait for it.
    std::printf("%u\n", static_cast<unsigned>(port));
    std::fflush(stdout);
    std::cerr << "corvane-agent-sim: "
              << (options.Scripted() ? "script " + options.scriptDir
                                     : options.mode == SimOptions::Mode::WebLogic
                                           ? "WebLogic " + std::to_string(options.wlsVersion) + " domain"
                                           : std::string("Tuxedo domain"))
              << " on " << options.host << ":" << port << std::endl;

    for (;;)
    {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EMFILE || errno == ENFILE)
            {
                // Out of descriptors: wait for conversations to end.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
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
