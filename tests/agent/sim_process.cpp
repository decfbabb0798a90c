#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

namespace
{
pid_t Spawn(const std::vector<std::string>& args, int& outFd)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // The agent's chatter stays out of the test output.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string program = SimProcess::ProgramPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    outFd = pipeFds[0];
    return pid;
}

// Reads until the end of the first line or the time runs out.
std::string ReadLine(int fd, int timeoutMs)
{
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (line.find('\n') == std::string::npos)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char c;
        if (::read(fd, &c, 1) != 1)
            break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}
} // namespace

std::string SimProcess::ProgramPath()
{
    const char* dir = std::getenv("CORVANE_BIN_DIR");
    return std::string(dir ? dir : ".") + "/corvane-agent-sim";
}

SimProcess::SimProcess(const std::vector<std::string>& args)
{
    std::vector<std::string> all = args;
    all.push_back("--port");
    all.push_back("0");
    m_pid = Spawn(all, m_out);
    if (m_pid < 0)
        return;
    m_firstLine = ReadLine(m_out, 5000);
    const int port = std::atoi(m_firstLine.c_str());
    if (port > 0 && port < 65536)
        m_port = static_cast<unsigned short>(port);
}

SimProcess::~SimProcess()
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
}
