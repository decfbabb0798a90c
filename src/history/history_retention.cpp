#include "history/history_retention.h"

#include "history/history_reader.h"
#include "history/history_time.h"
#include "store/history_indexes.h"

#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <ctime>

namespace
{
const char* const kCreateRetention =
    "CREATE TABLE IF NOT EXISTS HistoryRetention ([SiteName] varchar UNIQUE, [KeepDays] int);";

std::mutex g_runningMutex;
HistoryPurger* g_running = nullptr;

// Opens an existing file, never creating it.
bool OpenExisting(wxSQLite3Database& db, const wxString& path, bool write, wxString* error)
{
    if (!wxFileName::FileExists(path))
    {
        if (error)
            *error = wxString::Format("Database [%s] does not exist.", path);
        return false;
    }
    db.Open(path, wxEmptyString, write ? WXSQLITE_OPEN_READWRITE : WXSQLITE_OPEN_READONLY);
    db.SetBusyTimeout(5000);
    return true;
}

struct SiteLimit
{
    wxString databaseFile;
    int days;
};

std::vector<SiteLimit> SitesWithLimits(const wxString& configPath)
{
    std::vector<SiteLimit> sites;
    wxSQLite3Database db;
    try
    {
        if (!OpenExisting(db, configPath, false, nullptr) || !db.TableExists("HistoryRetention"))
            return sites;
        wxSQLite3ResultSet rows = db.ExecuteQuery(
            "select s.DatabaseFile, r.KeepDays from SiteList s join HistoryRetention r "
            "on r.SiteName = s.SiteName where r.KeepDays > 0;");
        while (rows.NextRow())
            sites.push_back({rows.GetAsString(0), rows.GetInt(1)});
    }
    catch (const wxSQLite3Exception&)
    {
    }
    return sites;
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

class Purge
{
public:
    Purge(wxSQLite3Database& db, const wxString& cutoff, const PurgeOptions& options,
          PurgeReport& report)
        : m_db(db), m_cutoff(cutoff), m_options(options), m_report(report)
    {
    }

    bool Stopped() const { return m_options.stop && *m_options.stop; }

    // Old rows were written first: walks the table in row order from its
    // start and deletes them a batch of neighbouring rows at a time, until a
    // batch finds none. Then, key by key through the range index, the old rows
    // that stand among newer ones (a clock set back) go too.
    void Table(const HistoryTable& t)
    {
        const wxString del =
            wxString::Format("delete from [%s] where rowid = ? and RecTime < ?;", t.table);
        wxSQLite3Statement walk = m_db.PrepareStatement(wxString::Format(
            "select rowid, RecTime < ? from [%s] where rowid > ? order by rowid limit ?;", t.table));
        wxLongLong after = -1;
        for (bool found = true; found && !Stopped();)
        {
            walk.Reset();
            walk.Bind(1, m_cutoff);
            walk.Bind(2, after);
            walk.Bind(3, m_options.batchRows);
            wxSQLite3ResultSet rows = walk.ExecuteQuery();
            found = false;
            while (rows.NextRow())
            {
                after = rows.GetInt64(0);
                if (rows.GetInt(1) == 1)
                {
                    m_rowids.push_back(after);
                    found = true;
                }
            }
            Flush(del);
        }
        Stragglers(t, del);
    }

    void Stragglers(const HistoryTable& t, const wxString& del)
    {
        wxSQLite3Statement pick = m_db.PrepareStatement(wxString::Format(
            "select rowid from [%s] where [%s] = ? and RecTime < ? limit ?;", t.table, t.key));
        wxSQLite3Statement pickNull = m_db.PrepareStatement(wxString::Format(
            "select rowid from [%s] where [%s] is null and RecTime < ? limit ?;", t.table, t.key));
        std::vector<wxString> keys = DistinctByIndex(m_db, t.table, t.key);
        keys.emplace_back(); // stands for NULL
        for (std::size_t k = 0; k < keys.size() && !Stopped(); ++k)
        {
            const bool isNull = k + 1 == keys.size();
            wxSQLite3Statement& s = isNull ? pickNull : pick;
            for (;;)
            {
                s.Reset();
                int p = 1;
                if (!isNull)
                    s.Bind(p++, keys[k]);
                s.Bind(p++, m_cutoff);
                const int room = m_options.batchRows - static_cast<int>(m_rowids.size());
                s.Bind(p, room);
                wxSQLite3ResultSet rows = s.ExecuteQuery();
                int found = 0;
                while (rows.NextRow())
                {
                    m_rowids.push_back(rows.GetInt64(0));
                    ++found;
                }
                if (static_cast<int>(m_rowids.size()) >= m_options.batchRows)
                    Flush(del);
                if (found < room || Stopped())
                    break;
            }
        }
        Flush(del);
    }

    // The alarm journal (epoch seconds in Time) keeps as long as the
    // history; its oldest rows come first in row order.
    void Journal(long long cutoffSeconds)
    {
        wxSQLite3Statement del = m_db.PrepareStatement(
            "delete from AlarmJournal where rowid in "
            "(select rowid from AlarmJournal where Time < ? limit ?);");
        for (int deleted = m_options.batchRows; deleted == m_options.batchRows && !Stopped();)
        {
            const auto start = std::chrono::steady_clock::now();
            del.Reset();
            del.Bind(1, wxLongLong(cutoffSeconds));
            del.Bind(2, m_options.batchRows);
            deleted = del.ExecuteUpdate();
            if (deleted == 0)
                break;
            const double ms = MsSince(start);
            m_report.deleted += deleted;
            m_report.longestBatchMs = std::max(m_report.longestBatchMs, ms);
            m_report.totalBatchMs += ms;
            ++m_report.batches;
            Pause();
        }
    }

    void Flush(const wxString& del)
    {
        if (m_rowids.empty())
            return;
        const auto start = std::chrono::steady_clock::now();
        {
            wxSQLite3Transaction transaction(&m_db, WXSQLITE_TRANSACTION_IMMEDIATE);
            wxSQLite3Statement s = m_db.PrepareStatement(del);
            for (const wxLongLong& rowid : m_rowids)
            {
                s.Reset();
                s.Bind(1, rowid);
                s.Bind(2, m_cutoff);
                m_report.deleted += s.ExecuteUpdate();
            }
            transaction.Commit();
        }
        const double ms = MsSince(start);
        m_report.longestBatchMs = std::max(m_report.longestBatchMs, ms);
        m_report.totalBatchMs += ms;
        ++m_report.batches;
        m_rowids.clear();
        Pause();
    }

    void Pause() const
    {
        if (m_options.pauseMs > 0 && !Stopped())
            std::this_thread::sleep_for(std::chrono::milliseconds(m_options.pauseMs));
    }

private:
    wxSQLite3Database& m_db;
    wxString m_cutoff;
    const PurgeOptions& m_options;
    PurgeReport& m_report;
    std::vector<wxLongLong> m_rowids;
};
} // namespace

std::vector<HistSite> LoadHistSites(const wxString& configPath, wxString* error)
{
    std::vector<HistSite> sites;
    wxSQLite3Database db;
    try
    {
        if (!OpenExisting(db, configPath, false, error))
            return sites;
        if (!db.TableExists("SiteList"))
        {
            if (error)
                *error = wxString::Format("Database [%s] holds no site list.", configPath);
            return sites;
        }
        wxSQLite3ResultSet rows =
            db.ExecuteQuery("select SiteName, SiteType, DatabaseFile from SiteList;");
        while (rows.NextRow())
            sites.push_back({rows.GetAsString(0), rows.GetAsString(1), rows.GetAsString(2)});
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = wxString::Format("Database [%s]: %s", configPath, e.GetMessage());
    }
    return sites;
}

int LoadKeepDays(const wxString& configPath, const wxString& siteName, wxString* error)
{
    wxSQLite3Database db;
    try
    {
        if (!OpenExisting(db, configPath, false, error))
            return -1;
        if (!db.TableExists("HistoryRetention"))
            return 0;
        wxSQLite3Statement s =
            db.PrepareStatement("select KeepDays from HistoryRetention where SiteName = ?;");
        s.Bind(1, siteName);
        wxSQLite3ResultSet rows = s.ExecuteQuery();
        return rows.NextRow() ? std::max(0, rows.GetInt(0)) : 0;
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = wxString::Format("Database [%s]: %s", configPath, e.GetMessage());
        return -1;
    }
}

bool SaveKeepDays(const wxString& configPath, const wxString& siteName, int days, wxString* error)
{
    wxSQLite3Database db;
    try
    {
        if (!OpenExisting(db, configPath, true, error))
            return false;
        wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
        db.ExecuteUpdate(kCreateRetention);
        wxSQLite3Statement del = db.PrepareStatement("delete from HistoryRetention where SiteName = ?;");
        del.Bind(1, siteName);
        del.ExecuteUpdate();
        if (days > 0)
        {
            wxSQLite3Statement ins =
                db.PrepareStatement("insert into HistoryRetention(SiteName, KeepDays) values (?, ?);");
            ins.Bind(1, siteName);
            ins.Bind(2, days);
            ins.ExecuteUpdate();
        }
        transaction.Commit();
        return true;
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = wxString::Format("Database [%s]: %s", configPath, e.GetMessage());
        return false;
    }
}

PurgeReport PurgeHistory(const wxString& siteDbPath, int keepDays, long long now,
                         const PurgeOptions& options)
{
    PurgeReport report;
    if (keepDays <= 0)
        return report;
    wxSQLite3Database db;
    try
    {
        if (!OpenExisting(db, siteDbPath, true, &report.error))
            return report;
        if (!EnsureHistoryIndexes(db, &report.error))
            return report; // without them every batch would read the whole table
        Purge purge(db, RecTimeAt(now - static_cast<long long>(keepDays) * 86400), options, report);
        for (const HistoryTable& t : kHistoryTables)
            if (!purge.Stopped() && db.TableExists(t.table))
                purge.Table(t);
        if (!purge.Stopped() && db.TableExists("AlarmJournal"))
            purge.Journal(now - static_cast<long long>(keepDays) * 86400);
        // Files compacted once for it (auto_vacuum incremental) give the freed
        // pages back; others keep them for the rows to come.
        if (db.ExecuteScalar("pragma auto_vacuum;") == 2)
        {
            while (!purge.Stopped() && db.ExecuteScalar("pragma freelist_count;") > 0)
            {
                const int before = db.ExecuteScalar("pragma freelist_count;");
                wxSQLite3ResultSet step = db.ExecuteQuery("pragma incremental_vacuum(256);");
                while (step.NextRow()) // each step gives back one page
                {
                }
                const int after = db.ExecuteScalar("pragma freelist_count;");
                report.pagesFreed += before - after;
                if (after >= before)
                    break;
                purge.Pause();
            }
        }
        db.Close();
    }
    catch (const wxSQLite3Exception& e)
    {
        report.error = wxString::Format("Database [%s]: %s", siteDbPath, e.GetMessage());
    }
    return report;
}

HistoryPurger::HistoryPurger(const wxString& configPath, Timing timing, PurgeOptions options)
    : m_configPath(configPath), m_timing(timing), m_options(options)
{
    m_options.stop = &m_stop;
}

HistoryPurger::~HistoryPurger()
{
    Stop();
}

void HistoryPurger::Start()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
    std::lock_guard<std::mutex> lock(g_runningMutex);
    g_running = this;
}

void HistoryPurger::Stop()
{
    {
        std::lock_guard<std::mutex> lock(g_runningMutex);
        if (g_running == this)
            g_running = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void HistoryPurger::Wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

void HistoryPurger::WakeRunning()
{
    std::lock_guard<std::mutex> lock(g_runningMutex);
    if (g_running)
        g_running->Wake();
}

std::vector<PurgeReport> HistoryPurger::RunPass()
{
    std::vector<PurgeReport> reports;
    const wxString dir = wxFileName(m_configPath).GetPath();
    for (const SiteLimit& site : SitesWithLimits(m_configPath))
    {
        if (m_stop)
            break;
        const wxString path = dir + wxFileName::GetPathSeparator() + site.databaseFile;
        reports.push_back(PurgeHistory(path, site.days, std::time(nullptr), m_options));
    }
    return reports;
}

// Runs on the purger's own thread.
void HistoryPurger::Loop()
{
    auto wait = m_timing.firstPass;
    for (;;)
    {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, wait, [this] { return m_stop.load() || m_woken; });
            if (m_stop)
                return;
            m_woken = false;
        }
        RunPass();
        wait = m_timing.period;
    }
}
