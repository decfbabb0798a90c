#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// A program the test starts and owns: spawned without a shell, its standard
// error discarded unless kept in a file, stopped (SIGTERM) and reaped by the destructor unless the
// test has already killed it.
class ChildProcess
{
public:
    // With readFirstLine, standard output is a pipe and the constructor waits
    // (up to timeoutMs) for the first line the program prints. Standard error
    // goes to errorFile when one is named.
    ChildProcess(const std::vector<std::string>& argv, bool readFirstLine, int timeoutMs = 5000,
                 const std::string& errorFile = std::string());
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    const std::string& FirstLine() const { return m_firstLine; }

    // Sends signal and waits for the program to end; true when it had been
    // running. Its sockets are closed once this returns.
    bool Kill(int signal);
    bool Running() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // Waits up to timeoutMs for the program to end by itself: its exit
    // status, or -1 when it is still running (or ended by a signal).
    int WaitForExit(int timeoutMs);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_firstLine;
};

// The folder of the programs that the build puts beside the tests.
std::string BinDir();
// The source tree (for scripts the tests run).
std::string SourceDir();

// corvane-agent-sim with its arguments on the given port (0: a free one);
// Port() is the port it listens on (0 when it did not start).
class SimAgent
{
public:
    explicit SimAgent(std::vector<std::string> args, unsigned short port = 0);
    unsigned short Port() const { return m_port; }
    bool Kill(int signal) { return m_process.Kill(signal); }
    bool Running() const { return m_process.Running(); }

private:
    static std::vector<std::string> Command(std::vector<std::string> args, unsigned short port);
    ChildProcess m_process;
    unsigned short m_port = 0;
};

