#include "monitor/history_writer.h"

#include "store/db_access.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace
{
// The writes still running, over all writers. Never destroyed: a write that
// outlives main() must still find it.
struct RunningWrites
{
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

RunningWrites& Running()
{
    static RunningWrites* running = new RunningWrites;
    return *running;
}

void EndOne()
{
    RunningWrites& running = Running();
    std::lock_guard<std::mutex> lock(running.mutex);
    --running.count;
    running.ended.notify_all();
}

wxString WarningFor(wxString reason)
{
    reason.Replace("\n", " ");
    return "History not recorded: " + (reason.empty() ? wxString("unknown error") : reason);
}
} // namespace

bool HistoryWrite::Wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto over = [this] { return m_ended || m_abandoned; };
    if (timeoutMs < 0)
        m_changed.wait(lock, over);
    else
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), over);
    return m_ended;
}

void HistoryWrite::Abandon()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_abandoned = true;
    m_changed.notify_all();
}

wxString HistoryWrite::Warning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_warning;
}

void HistoryWrite::OnLateEnd(std::function<void(const wxString&)> late)
{
    wxString warning;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_ended)
        {
            m_late = std::move(late);
            return;
        }
        warning = m_warning;
    }
    late(warning);
}

void HistoryWrite::Finish(const wxString& warning)
{
    std::function<void(const wxString&)> late;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        m_warning = warning;
        late.swap(m_late);
        m_changed.notify_all();
    }
    if (late)
        late(warning);
}

struct HistoryWriter::Connection
{
    std::mutex mutex; // one write at a time
    wxString path;
    DbAccess db;
};

HistoryWriter::HistoryWriter(const wxString& path) : m_connection(std::make_shared<Connection>())
{
    m_connection->path = path;
}

HistoryWriter::~HistoryWriter() = default;

std::shared_ptr<HistoryWrite> HistoryWriter::Start(Rows rows)
{
    auto write = std::make_shared<HistoryWrite>();
    {
        RunningWrites& running = Running();
        std::lock_guard<std::mutex> lock(running.mutex);
        ++running.count;
    }
    std::shared_ptr<Connection> connection = m_connection;
    auto run = [connection, write, rows = std::move(rows)]() mutable
    {
        wxString warning;
        {
            std::lock_guard<std::mutex> lock(connection->mutex);
            if (connection->path.empty())
                warning = WarningFor("no site database");
            else if (!connection->db.IsOpen() &&
                     connection->db.Open(connection->path, DbAccess::SiteDb) != 1)
                warning = WarningFor(connection->db.LastError());
            else if (!rows(connection->db))
                warning = WarningFor(connection->db.LastError());
        }
        write->Finish(warning);
        // The last owner of the connection closes the database: that, and the
        // rows' own copies, go before the count says this write is over, so
        // that nothing of it still runs once WaitForAll has returned.
        rows = nullptr;
        connection.reset();
        write.reset();
        EndOne();
    };
    try
    {
        // Detached: nothing ever waits for it but its own waiter, who may give up.
        std::thread(std::move(run)).detach();
    }
    catch (const std::system_error& e)
    {
        write->Finish(WarningFor(wxString::FromUTF8(e.what())));
        EndOne();
    }
    return write;
}

bool HistoryWriter::WaitForAll(int timeoutMs)
{
    RunningWrites& running = Running();
    std::unique_lock<std::mutex> lock(running.mutex);
    return running.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return running.count == 0; });
}
