#pragma once

#include <wx/thread.h>

#include <memory>

// One scan at a time per panel: a monitor panel hands each tick's scan thread
// (a joinable wxThread) to its runner. A tick that finds the previous scan
// still running is skipped, and teardown waits for the running scan.
class ScanRunner
{
public:
    ScanRunner() = default;
    ScanRunner(const ScanRunner&) = delete;
    ScanRunner& operator=(const ScanRunner&) = delete;
    ~ScanRunner() { Wait(); }

    // Starts the thread unless a scan is still running; false when skipped or
    // when the thread could not be started. Takes ownership either way.
    bool Run(std::unique_ptr<wxThread> thread);

    bool IsRunning() const;

    // Blocks until the current scan (if any) has ended and releases it.
    void Wait();

private:
    std::unique_ptr<wxThread> m_thread;
};
