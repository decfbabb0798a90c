#pragma once

#include "history/history_reader.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One background thread that owns a HistoryReader and runs jobs on it in the
// order they were posted, so a window stays responsive while a range loads.
// A job hands its result back to its window itself (CallAfter).
class HistoryWorker
{
public:
    using Job = std::function<void(HistoryReader&)>;

    HistoryWorker();
    ~HistoryWorker(); // Stop
    HistoryWorker(const HistoryWorker&) = delete;
    HistoryWorker& operator=(const HistoryWorker&) = delete;

    void Post(Job job);
    // Drops the jobs not yet started and cuts the running one's query short.
    void Cancel();
    // Cancel, then ends the thread; later posts are dropped. Idempotent.
    void Stop();
    bool Busy() const;

private:
    void Loop();

    HistoryReader m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_running = false; // a job is under way
    bool m_stop = false;
    std::thread m_thread;
};
