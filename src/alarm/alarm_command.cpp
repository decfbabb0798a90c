#include "alarm/alarm_command.h"

#include <wx/filename.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
// What is kept of the standard error: its first line, cut at this length.
constexpr size_t kFirstLineMax = 300;

std::vector<std::string> Utf8(const std::vector<wxString>& texts)
{
    std::vector<std::string> out;
    out.reserve(texts.size());
    for (const wxString& t : texts)
        out.emplace_back(t.utf8_str().data());
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> out;
    for (std::string& t : texts)
        out.push_back(&t[0]);
    out.push_back(nullptr);
    return out;
}

// The process's environment with the extra entries in place of same-named ones.
std::vector<std::string> Environment(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
    {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra)
            replaced = replaced || x.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}
// Waits up to waitMs for the standard error pipe and reads what is there,
// keeping only the first line; false once the pipe is closed.
bool ReadSome(int fd, int waitMs, std::string& firstLine, bool& lineDone)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0)
        return waitMs > 0; // nothing now: still open, or drained
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    for (ssize_t i = 0; i < n && !lineDone; ++i)
    {
        if (buffer[i] == '\n' || firstLine.size() >= kFirstLineMax)
            lineDone = true;
        else
            firstLine += buffer[i];
    }
    return true;
}
} // namespace

CommandOutcome RunProgram(const wxString& program, const std::vector<wxString>& args,
                          const std::vector<wxString>& env, std::chrono::milliseconds timeout,
                          const std::atomic<bool>* cancel)
{
    CommandOutcome outcome;
    if (!wxFileName(program).IsAbsolute())
    {
        outcome.startError = "not an absolute path";
        return outcome;
    }
    std::vector<wxString> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<std::string> argvBytes = Utf8(argvText);
    std::vector<std::string> envBytes = Environment(Utf8(env));
    std::vector<char*> argv = Pointers(argvBytes);
    std::vector<char*> envp = Pointers(envBytes);

    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0)
    {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: the time-out ends whatever it started too.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(err[1]);
    if (rc != 0)
    {
        close(err[0]);
        outcome.startError = std::strerror(rc);
        return outcome;
    }
    outcome.started = true;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string firstLine;
    bool lineDone = false;
    bool pipeOpen = true;
    int status = 0;
    for (;;)
    {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (cancel && *cancel))
        {
            outcome.timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        const int waitMs = static_cast<int>(std::min<long long>(left.count(), 50));
        if (!pipeOpen)
        {
            usleep(static_cast<useconds_t>(waitMs) * 1000);
            continue;
        }
        pipeOpen = ReadSome(err[0], waitMs, firstLine, lineDone);
    }
    // What it wrote just before it ended is still in the pipe.
    for (int reads = 0; pipeOpen && !lineDone && reads < 64; ++reads)
        pipeOpen = ReadSome(err[0], 0, firstLine, lineDone);
    close(err[0]);
    if (!outcome.timedOut)
    {
        if (WIFEXITED(status))
            outcome.exitStatus = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            outcome.signal = WTERMSIG(status);
    }
    outcome.firstErrorLine = wxString::FromUTF8(firstLine.data(), firstLine.size());
    if (outcome.firstErrorLine.empty() && !firstLine.empty())
        outcome.firstErrorLine = wxString(firstLine.data(), wxConvISO8859_1, firstLine.size());
    return outcome;
}

wxString DescribeCommandOutcome(const wxString& program, const CommandOutcome& outcome,
                                std::chrono::milliseconds timeout)
{
    wxString line = "Alarm command " + program + ": ";
    if (!outcome.started)
        return line + "cannot start: " + outcome.startError;
    if (outcome.timedOut)
        line << "killed after " << timeout.count() / 1000.0 << " s";
    else if (outcome.signal != 0)
        line << "ended by signal " << outcome.signal;
    else
        line << "exit status " << outcome.exitStatus;
    if (!outcome.firstErrorLine.empty())
        line << ": " << outcome.firstErrorLine;
    return line;
}

AlarmCommandRunner::AlarmCommandRunner(std::chrono::milliseconds timeout)
    : m_timeout(timeout), m_thread([this] { Loop(); })
{
}

AlarmCommandRunner::~AlarmCommandRunner()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

AlarmCommandRunner& AlarmCommandRunner::Console()
{
    static AlarmCommandRunner runner;
    return runner;
}

void AlarmCommandRunner::Run(const wxString& program, const CommandEvent& event, const Log& log)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A stuck program must not pile up events without end.
        if (m_jobs.size() >= 1000)
            return;
        m_jobs.push_back(Job{program, event, log});
    }
    m_wake.notify_one();
}

void AlarmCommandRunner::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void AlarmCommandRunner::Loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;)
    {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();

        const CommandEvent& e = job.event;
        const CommandOutcome outcome =
            RunProgram(job.program, {e.event, e.site, e.kind, e.object, e.time, e.text},
                       {"CORVANE_EVENT=" + e.event, "CORVANE_SITE=" + e.site, "CORVANE_KIND=" + e.kind,
                        "CORVANE_OBJECT=" + e.object, "CORVANE_TIME=" + e.time, "CORVANE_TEXT=" + e.text},
                       m_timeout, &m_stop);
        bool tell = true;
        lock.lock();
        if (!outcome.started)
            tell = m_cannotStart.insert(job.program).second;
        else
            m_cannotStart.erase(job.program);
        lock.unlock();
        if (tell && job.log)
            job.log(DescribeCommandOutcome(job.program, outcome, m_timeout));

        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}
