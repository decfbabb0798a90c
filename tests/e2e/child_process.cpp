#include "child_process.h"

#include "support/smtp_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace
{
int MsLeft(std::chrono::steady_clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool readFirstLine, int timeoutMs,
                           const std::string& errorFile)
{
    int pipeFds[2] = {-1, -1};
    if (readFirstLine && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (readFirstLine)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // Its chatter would only clutter the test output.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.empty() ? "/dev/null" : errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (!readFirstLine)
        return;
    ::close(pipeFds[1]);
    m_out = pipeFds[0];

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0 && m_firstLine.find('\n') == std::string::npos)
    {
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(end)) <= 0)
            break;
        char c;
        if (::read(m_out, &c, 1) != 1)
            break;
        m_firstLine.push_back(c);
    }
    if (!m_firstLine.empty() && m_firstLine.back() == '\n')
        m_firstLine.pop_back();
}

ChildProcess::~ChildProcess()
{
    Kill(SIGTERM);
    if (m_out >= 0)
        ::close(m_out);
}

bool ChildProcess::Kill(int signal)
{
    if (m_pid <= 0)
        return false;
    ::kill(m_pid, signal);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return true;
}

int ChildProcess::WaitForExit(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0)
    {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (MsLeft(end) == 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

std::string BinDir()
{
    if (const char* dir = std::getenv("CORVANE_BIN_DIR"))
        return dir;
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/'));
}

std::string SourceDir()
{
    return TestSourceDir();
}

std::vector<std::string> SimAgent::Command(std::vector<std::string> args, unsigned short port)
{
    args.insert(args.begin(), BinDir() + "/corvane-agent-sim");
    args.push_back("--port");
    args.push_back(std::to_string(port));
    return args;
}

SimAgent::SimAgent(std::vector<std::string> args, unsigned short port)
    : m_process(Command(std::move(args), port), true)
{
    const int listening = std::atoi(m_process.FirstLine().c_str());
    if (listening > 0 && listening < 65536)
        m_port = static_cast<unsigned short>(listening);
}

