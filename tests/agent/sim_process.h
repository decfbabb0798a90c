#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// Runs build/bin/corvane-agent-sim (found through CORVANE_BIN_DIR) with the
// given arguments and "--port 0"; the port it prints on its first line is
// Port(). The destructor stops it.
class SimProcess
{
public:
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // 0 when the program did not start or printed no port.
    unsigned short Port() const { return m_port; }
    const std::string& FirstLine() const { return m_firstLine; }

    static std::string ProgramPath();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    unsigned short m_port = 0;
    std::string m_firstLine;
};
