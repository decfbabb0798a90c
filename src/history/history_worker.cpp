#include "history/history_worker.h"

HistoryWorker::HistoryWorker() : m_thread([this] { Loop(); }) {}

HistoryWorker::~HistoryWorker()
{
    Stop();
}

void HistoryWorker::Post(Job job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop)
            return;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void HistoryWorker::Cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.clear();
    if (m_running)
        m_reader.Interrupt();
}

void HistoryWorker::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    Cancel();
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

bool HistoryWorker::Busy() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running || !m_jobs.empty();
}

// Runs on the worker thread.
void HistoryWorker::Loop()
{
    for (;;)
    {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_running = true;
        }
        job(m_reader);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
    }
    m_reader.Close();
}
