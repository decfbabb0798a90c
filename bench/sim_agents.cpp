#include "sim_agents.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

InProcessAgent::InProcessAgent(const SimOptions& options)
    : m_options(options), m_server(
                              [this](int fd)
                              {
                                  Conversation(m_options, nullptr, fd).Run();
                                  ::close(fd);
                              })
{
}

SimOptions LargeTuxedoDomain()
{
    SimOptions options;
    options.servers = 2000;
    options.queues = 500;
    options.clients = 10000;
    options.epoch = BenchEpoch;
    return options;
}

std::string AgentProcess::ProgramPath()
{
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "corvane-agent-sim";
    std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "corvane-agent-sim";
}

AgentProcess::AgentProcess(const std::vector<std::string>& args)
{
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--port", "0"});
    Start(ProgramPath(), all);
}

AgentProcess::AgentProcess(const std::string& program, std::vector<std::string> args)
{
    Start(program, std::move(args));
}

void AgentProcess::Start(const std::string& program, std::vector<std::string> all)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& arg : all)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // Its port comes on the first line of its output; its chatter on standard
    // error would only clutter the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string line;
    while (m_pid > 0 && line.find('\n') == std::string::npos)
    {
        pollfd p{out[0], POLLIN, 0};
        char c;
        if (::poll(&p, 1, 5000) <= 0 || ::read(out[0], &c, 1) != 1)
            break;
        line.push_back(c);
    }
    ::close(out[0]);
    const int port = std::atoi(line.c_str());
    if (port > 0 && port < 65536)
        m_port = static_cast<unsigned short>(port);
}

AgentProcess::~AgentProcess()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
}
