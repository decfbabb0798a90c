#pragma once

#include "alarm/scan_alarms.h"

#include <wx/string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// The command action: an operator's program run once per lifecycle event,
// never through a shell. It gets the event's fields as arguments (event,
// site, kind, object, time, text) and as environment variables
// (CORVANE_EVENT, CORVANE_SITE, ...); its output is read and dropped but for
// the first line of its standard error.

struct CommandOutcome
{
    bool started = false;
    wxString startError; // why it did not start
    bool timedOut = false; // killed at the time-out
    int exitStatus = -1;   // when it exited
    int signal = 0;        // when a signal ended it
    wxString firstErrorLine;
};

// Runs program (an absolute path) with args after it and the extra
// environment entries ("NAME=value"), waits at most timeout (or until
// *cancel turns true), then kills it. Blocks; any thread.
CommandOutcome RunProgram(const wxString& program, const std::vector<wxString>& args,
                          const std::vector<wxString>& env, std::chrono::milliseconds timeout,
                          const std::atomic<bool>* cancel = nullptr);

// The log line of one run: "Alarm command /x/y: exit status 0", "...: killed
// after 30 s", "...: cannot start: ...", with the first stderr line after.
wxString DescribeCommandOutcome(const wxString& program, const CommandOutcome& outcome,
                                std::chrono::milliseconds timeout);

// Runs the commands one after another on a thread of its own, so that a scan
// never waits for them. A program that cannot start is logged once until it
// starts again.
class AlarmCommandRunner
{
public:
    explicit AlarmCommandRunner(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~AlarmCommandRunner(); // kills a running command, drops the queued ones

    using Log = std::function<void(const wxString& line)>;
    void Run(const wxString& program, const CommandEvent& event, const Log& log);
    // Blocks until nothing is queued or running (tests).
    void WaitIdle();

    // The runner the console's actions use.
    static AlarmCommandRunner& Console();

private:
    struct Job
    {
        wxString program;
        CommandEvent event;
        Log log;
    };
    void Loop();

    const std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    std::set<wxString> m_cannotStart;
    std::thread m_thread;
};
