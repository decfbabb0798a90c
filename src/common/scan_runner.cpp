#include "common/scan_runner.h"

bool ScanRunner::Run(std::unique_ptr<wxThread> thread)
{
    if (IsRunning() || !thread)
        return false;
    Wait(); // reap the previous, finished scan
    if (thread->Create() != wxTHREAD_NO_ERROR || thread->Run() != wxTHREAD_NO_ERROR)
        return false;
    m_thread = std::move(thread);
    return true;
}

bool ScanRunner::IsRunning() const
{
    return m_thread && m_thread->IsAlive();
}

void ScanRunner::Wait()
{
    if (m_thread)
    {
        m_thread->Wait();
        m_thread.reset();
    }
}
