#include "store/history_indexes.h"

#include <wx/wxsqlite3.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

const HistoryTable kHistoryTables[7] = {
    {"ServerList", "ProgName"},    {"QueueList", "ProgName"},   {"ClientList", "ClientStatus"},
    {"WlsSvrlist", "ServerName"},  {"wlsjvmlist", "ServerName"}, {"wlsthdlist", "ServerName"},
    {"wlsjdbclist", "JDBCName"},
};

namespace
{
// Rows up to which an open builds the indexes itself (a quarter of a second
// or so; three million rows take some fifteen).
constexpr long long kInlineRows = 50000;

wxString IndexName(const HistoryTable& t)
{
    return wxString::Format("%s_%s_RecTime", t.table, t.key);
}

// The background builders, one per file, cut short and joined at program exit.
class Indexers
{
public:
    ~Indexers()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [path, job] : m_jobs)
        {
            {
                std::lock_guard<std::mutex> dbLock(job->mutex);
                if (job->db.IsOpen())
                    job->db.Interrupt();
            }
            if (job->thread.joinable())
                job->thread.join();
        }
    }

    void Start(const wxString& path)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::unique_ptr<Job>& job = m_jobs[path];
        if (job && !job->done)
            return; // already under way
        if (job && job->thread.joinable())
            job->thread.join();
        job = std::make_unique<Job>();
        Job* j = job.get();
        j->thread = std::thread([j, path] { j->Run(path); });
    }

    void Wait(const wxString& path)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_jobs.find(path);
        if (found != m_jobs.end() && found->second->thread.joinable())
            found->second->thread.join();
    }

private:
    struct Job
    {
        std::mutex mutex; // the connection against an interrupt at exit
        wxSQLite3Database db;
        std::thread thread;
        std::atomic<bool> done{false};

        // Runs on the job's own thread.
        void Run(const wxString& path)
        {
            try
            {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    db.Open(path, wxEmptyString, WXSQLITE_OPEN_READWRITE);
                }
                db.SetBusyTimeout(60000);
                EnsureHistoryIndexes(db);
                std::lock_guard<std::mutex> lock(mutex);
                db.Close();
            }
            catch (const wxSQLite3Exception&)
            {
            }
            done = true;
        }
    };
    std::mutex m_mutex;
    std::map<wxString, std::unique_ptr<Job>> m_jobs;
};

Indexers& TheIndexers()
{
    static Indexers indexers;
    return indexers;
}
} // namespace

bool EnsureHistoryIndexes(wxSQLite3Database& db, wxString* error)
{
    try
    {
        for (const HistoryTable& t : kHistoryTables)
        {
            if (!db.TableExists(t.table))
                continue;
            wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
            db.ExecuteUpdate(wxString::Format("CREATE INDEX IF NOT EXISTS [%s] ON [%s] ([%s], [RecTime]);",
                                              IndexName(t), t.table, t.key));
            transaction.Commit();
        }
        return true;
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = e.GetMessage();
        return false;
    }
}

bool HasHistoryIndexes(wxSQLite3Database& db)
{
    wxSQLite3Statement s =
        db.PrepareStatement("select count(*) from sqlite_master where type = 'index' and name = ?;");
    for (const HistoryTable& t : kHistoryTables)
    {
        if (!db.TableExists(t.table))
            continue;
        s.Reset();
        s.Bind(1, IndexName(t));
        if (s.ExecuteScalar() == 0)
            return false;
    }
    return true;
}

void EnsureHistoryIndexesSoon(wxSQLite3Database& db, const wxString& path)
{
    try
    {
        if (HasHistoryIndexes(db))
            return;
        long long rows = 0; // the highest row id is a cheap upper bound
        for (const HistoryTable& t : kHistoryTables)
            if (db.TableExists(t.table))
                rows += db.ExecuteQuery(wxString::Format("select max(rowid) from [%s];", t.table))
                            .GetInt64(0)
                            .GetValue();
        if (rows <= kInlineRows)
        {
            EnsureHistoryIndexes(db);
            return;
        }
        TheIndexers().Start(path);
    }
    catch (const wxSQLite3Exception&)
    {
    }
}

void WaitForHistoryIndexing(const wxString& path)
{
    TheIndexers().Wait(path);
}
