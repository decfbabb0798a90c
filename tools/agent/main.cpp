// corvane-agent: the Corvane agent for WebLogic Server 12.2.1 and later. See --help.
#include "agent_options.h"
#include "agent_session.h"
#include "sim_listen.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <curl/curl.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

namespace
{
std::mutex g_sessionsMutex;
std::set<int> g_sessions;

std::string PeerOf(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    char text[INET_ADDRSTRLEN] = "?";
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    AgentOptions options;
    std::string error;
    if (!ParseAgentOptions(args, options, error))
    {
        std::cerr << "corvane-agent: " << error << "\n(see --help)\n";
        return 2;
    }
    if (options.help)
    {
        std::cout << AgentUsage();
        return 0;
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
    {
        std::cerr << "corvane-agent: libcurl did not start\n";
        return 1;
    }
    // Signals are taken by the main loop alone, through a descriptor; every
    // thread started later inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int signals = ::signalfd(-1, &stops, SFD_CLOEXEC);

    unsigned short port = 0;
    const int listener = ListenOn(options.listenHost, options.listenPort, port, error);
    if (listener < 0 || signals < 0)
    {
        std::cerr << "corvane-agent: " << (listener < 0 ? error : "no signal descriptor") << "\n";
        return 1;
    }
    if (options.listenPort == 0)
    {
        // The port alone on the first line: scripts and tests wait for it.
        std::printf("%u\n", static_cast<unsigned>(port));
        std::fflush(stdout);
    }
    AgentLog("listening on " + options.listenHost + ":" + std::to_string(port) +
             (options.adminUrl.empty() ? "" : ", admin server " + options.adminUrl));

    for (;;)
    {
        pollfd waits[2] = {{listener, POLLIN, 0}, {signals, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            AgentLog(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (waits[1].revents)
        {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) == sizeof info && info.ssi_signo == SIGHUP)
            {
                AgentLog("SIGHUP: nothing to reload (every setting is on the command line)");
                continue;
            }
            AgentLog("stopping");
            ::close(listener);
            {
                std::lock_guard<std::mutex> lock(g_sessionsMutex);
                for (const int fd : g_sessions)
                    ::shutdown(fd, SHUT_RDWR); // the consoles see the agent go
            }
            // Sessions may still be winding down on their threads: leave
            // without running destructors under them.
            std::_Exit(0);
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EMFILE || errno == ENFILE)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        const int nodelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
        {
            std::lock_guard<std::mutex> lock(g_sessionsMutex);
            g_sessions.insert(fd);
        }
        std::thread(
            [fd, &options]
            {
                AgentSession(options, fd, PeerOf(fd)).Run();
                std::lock_guard<std::mutex> lock(g_sessionsMutex);
                g_sessions.erase(fd);
                ::close(fd);
            })
            .detach();
    }
}
