#include "store/db_access.h"

#include "common/program_dir.h"
#include "common/prompt.h"
#include "store/history_indexes.h"
#include "store/mail_settings.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<int> g_defaultBusyTimeout{60000};

// Creation statements, in the order a new file receives them.
const char* const kConfigSchema[] = {
    "CREATE TABLE SiteList ([SiteName] varchar UNIQUE, [SiteType] varchar, [SiteIP] varchar, "
    "[SitePort] int, [SiteAuth] varchar, [SitePwd] varchar, [WlsAdminURL] varchar, "
    "[WlsVer] varchar, [SiteFlag] varchar, [DatabaseFile] varchar);",
    "CREATE TABLE ActionSet ([SMSTo] varchar, [MailTo] varchar, [SMTPPwd] varchar, "
    "[SMTPUsr] varchar, [SMTPSvr] varchar, [SoundFile] varchar);",
};

const char* const kSiteSchema[] = {
    "CREATE TABLE TuxAlarmList ([SiteName] varchar UNIQUE, [SvrDied] varchar, "
    "[LongBusy] varchar, [NoTran] varchar, [Queued] varchar, [SMS] varchar, [Email] varchar, "
    "[PlaySound] varchar);",
    "CREATE TABLE WlsAlarmList ([SiteName] varchar UNIQUE, [SvrDied] varchar, "
    "[FreeHeap] varchar, [IdleThread] varchar, [IdleJDBC] varchar, [SMS] varchar, "
    "[Email] varchar, [PlaySound] varchar, [ThreadDump] varchar);",
    "CREATE TABLE QueueList ([ProgName] varchar, [Queued] int, [SvrCnt] int, "
    "[IPCSID] varchar, [RecTime] datetime);",
    "CREATE TABLE ClientList ([ConnTime] varchar, [ClientStatus] varchar, "
    "[ClientAddr] varchar, [ClientPID] varchar, [ClientName] varchar, [RecTime] datetime);",
    "CREATE TABLE ServerList ([ProgName] varchar NOT NULL, [MemoryUse] varchar, "
    "[CurrentSVC] varchar, [SvrMIN] int, [SvrMAX] int, [RqDone] varchar, "
    "[ProcessID] varchar, [QueueName] varchar, [RecTime] datetime);",
    "CREATE TABLE WlsSvrlist ([ServerName] varchar NOT NULL, [URL] varchar, [Port] int, "
    "[Health] varchar, [State] varchar, [RecTime] datetime);",
    "CREATE TABLE wlsjvmlist ([ServerName] varchar NOT NULL, [JVMVendor] varchar, "
    "[JVMVersion] varchar, [FreeHeap] varchar, [CurrentHeap] varchar, "
    "[HeapSizeMax] varchar, [FreePercent] varchar, [RecTime] datetime);",
    "CREATE TABLE wlsthdlist ([ServerName] varchar NOT NULL, [TotalCount] int, "
    "[IdleCount] int, [Throughput] int, [QueueLength] int, [RecTime] datetime);",
    "CREATE TABLE wlsjdbclist ([ServerName] varchar NOT NULL, [JDBCName] varchar, "
    "[ActiveCurrent] int, [ActiveHigh] int, [CurrCapacity] int, [LeakCount] int, "
    "[State] varchar, [RecTime] datetime);",
};

// Statements keep the column lists of the stored texts; only the values are
// bound instead of pasted, so quotes and percent signs are stored as typed.
const char* const kInsertSite =
    "insert into SiteList(SiteName, SiteType, SiteIP, SitePort, SiteAuth, SitePwd, "
    "WlsAdminURL, WlsVer, SiteFlag, DatabaseFile ) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char* const kDeleteSite = "delete from SiteList where SiteName = ?;";

const char* const kDeleteTuxRule = "delete from TuxAlarmList where SiteName = ?;";
const char* const kInsertTuxRule =
    "insert into TuxAlarmList(SiteName, SvrDied, LongBusy, NoTran, Queued, SMS, EMail, "
    "PlaySound ) values (?, ?, ?, ?, ?, ?, ?, ?);";
const char* const kSelectTuxRule = "select * from TuxAlarmList where sitename = ?;";

const char* const kDeleteWlsRule = "delete from WlsAlarmList where SiteName = ?;";
const char* const kInsertWlsRule =
    "insert into WlsAlarmList(SiteName, SvrDied, FreeHeap, IdleThread, IdleJDBC, SMS, EMail, "
    "PlaySound, ThreadDump ) values (?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char* const kSelectWlsRule = "select * from WlsAlarmList where sitename = ?;";

const char* const kDeleteActions = "delete from ActionSet;";
const char* const kInsertActions =
    "insert into ActionSet(SoundFile, SMTPSvr, SMTPUsr, SMTPPwd, MailTo, SMSTo) "
    "values (?, ?, ?, ?, ?, ?);";

const char* const kInsertQueue =
    "insert into QueueList(RecTime, ProgName, SvrCnt,Queued, IPCSID ) values (?, ?, ?, ?, ?);";
const char* const kInsertServer =
    "insert into ServerList(RecTime, ProgName, QueueName,ProcessID,RqDone,SvrMIN, "
    "SvrMAX,CurrentSVC,MemoryUse ) values (?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char* const kInsertClient =
    "insert into ClientList(RecTime, ClientName, ClientPID,ClientAddr,ClientStatus,ConnTime ) "
    "values (?, ?, ?, ?, ?, ?);";
const char* const kInsertWlsServer =
    "insert into WlsSvrlist(RecTime, ServerName, URL, Port, Health, State ) "
    "values (?, ?, ?, ?, ?, ?);";
const char* const kInsertWlsJvm =
    "insert into wlsjvmlist(RecTime, ServerName, JVMVendor, JVMVersion, FreeHeap, CurrentHeap, "
    "HeapSizeMax,FreePercent ) values (?, ?, ?, ?, ?, ?, ?, ?);";
const char* const kInsertWlsThread =
    "insert into wlsthdlist(RecTime, ServerName, TotalCount, IdleCount, Throughput, "
    "QueueLength ) values (?, ?, ?, ?, ?, ?);";
const char* const kInsertWlsJdbc =
    "insert into wlsjdbclist(RecTime, ServerName, JDBCName, ActiveCurrent, ActiveHigh, "
    "CurrCapacity, LeakCount, State ) values (?, ?, ?, ?, ?, ?, ?, ?);";

// The port column receives the unsigned number of the port text's leading
// digits (after blanks and a plus sign), 0 when there are none.
wxLongLong PortNumber(const wxString& text)
{
    size_t i = 0;
    while (i < text.length() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.length() && text[i] == '+')
        ++i;
    long long value = 0;
    for (; i < text.length() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        value = value * 10 + (text[i].GetValue() - '0');
        if (value > 0xFFFFFFFFLL) // an unsigned 32-bit number at most
            value = 0xFFFFFFFFLL;
    }
    return wxLongLong(value);
}

// Binds texts to consecutive parameters starting at first.
void BindTexts(wxSQLite3Statement& statement, int first,
               std::initializer_list<const wxString*> values)
{
    int index = first;
    for (const wxString* value : values)
        statement.Bind(index++, *value);
}

// History rows: RecTime is parameter 1, the record's values follow in the
// order of the statement's column list.
void BindRow(wxSQLite3Statement& s, const TuxQueueRec& r)
{
    BindTexts(s, 2, {&r.ProgName, &r.SrvCnt, &r.Queued, &r.Queueid});
}

void BindRow(wxSQLite3Statement& s, const TuxServerRec& r)
{
    BindTexts(s, 2, {&r.ProgName, &r.QueueName, &r.ProcessID, &r.RqDone, &r.SvrMin, &r.SvrMax,
                     &r.CurrSvc, &r.UseMem});
}

void BindRow(wxSQLite3Statement& s, const TuxClientRec& r)
{
    BindTexts(s, 2, {&r.Name, &r.ClientPID, &r.ClientAddr, &r.Status, &r.ConTime});
}

void BindRow(wxSQLite3Statement& s, const WlsServerRec& r)
{
    BindTexts(s, 2, {&r.ServerName, &r.URL, &r.Port, &r.Health, &r.State});
}

void BindRow(wxSQLite3Statement& s, const WlsJvmRec& r)
{
    BindTexts(s, 2, {&r.ServerName, &r.JVMVendor, &r.JVMVersion, &r.FreeHeap, &r.CurrentHeap,
                     &r.HeapSizeMax, &r.FreePercent});
}

void BindRow(wxSQLite3Statement& s, const WlsThreadRec& r)
{
    BindTexts(s, 2, {&r.ServerName, &r.TotalCount, &r.IdleCount, &r.Throughput, &r.QueueLength});
}

void BindRow(wxSQLite3Statement& s, const WlsJdbcRec& r)
{
    BindTexts(s, 2, {&r.ServerName, &r.JDBCName, &r.ActiveCurrent, &r.ActiveHigh,
                     &r.CurrCapacity, &r.LeakCount, &r.State});
}

// One prepared statement for all rows of a table; the caller holds the
// transaction. Returns the changed-row count of the last row (0 when none).
template <typename Rec>
int InsertRows(wxSQLite3Database& db, const char* sql, const std::vector<Rec>& rows,
               const wxString& recTime)
{
    if (rows.empty())
        return 0;
    wxSQLite3Statement statement = db.PrepareStatement(sql);
    int changed = 0;
    for (const Rec& row : rows)
    {
        statement.Reset();
        statement.Bind(1, recTime);
        BindRow(statement, row);
        changed = statement.ExecuteUpdate();
    }
    return changed;
}

// A save replaces the stored row: delete and insert in one transaction, so a
// failing insert keeps the old row. Returns the insert's changed-row count.
int ReplaceRow(wxSQLite3Database& db, const char* deleteSql, const wxString* deleteKey,
               const char* insertSql, std::initializer_list<const wxString*> values)
{
    wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
    wxSQLite3Statement del = db.PrepareStatement(deleteSql);
    if (deleteKey)
        del.Bind(1, *deleteKey);
    del.ExecuteUpdate();
    wxSQLite3Statement ins = db.PrepareStatement(insertSql);
    BindTexts(ins, 1, values);
    const int changed = ins.ExecuteUpdate();
    transaction.Commit();
    return changed;
}

// Reads every row of a "select *" into the fields listed in column order; the
// last row wins. Returns the number of rows read.
int ReadLastRow(wxSQLite3ResultSet rows, std::initializer_list<wxString*> fields)
{
    int count = 0;
    while (rows.NextRow())
    {
        int column = 0;
        for (wxString* field : fields)
            *field = rows.GetAsString(column++);
        ++count;
    }
    return count;
}

// A missing file is made anew, and so is an empty one: what a crash while a
// file was being made by an older copy leaves (SQLite would take it for a
// database without tables).
bool MissingOrEmpty(const wxString& path)
{
    struct stat st;
    if (::stat(path.fn_str(), &st) == 0)
        return S_ISREG(st.st_mode) && st.st_size == 0;
    return errno == ENOENT; // e.g. an unsearchable folder: let the open report it
}

// A new file is built under a temporary name beside its place and put there
// whole (PublishNewFile), so a crash never leaves a half-made file under the
// real name. Owner-only from the start: it will hold clear-text passwords.
wxString MakeTemporaryFile(const wxString& path)
{
    std::string name = std::string(path.fn_str()) + ".new-XXXXXX";
    const int fd = ::mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0)
        return wxString();
    ::fchmod(fd, 0600);
    ::close(fd);
    return wxString(name.c_str(), *wxConvFileName);
}

// Puts the built file at path unless another connection made a real one
// meanwhile (then that one is kept); an empty file there is replaced.
void PublishNewFile(const wxString& temporary, const wxString& path)
{
    const std::string from(temporary.fn_str()), to(path.fn_str());
    // A file system without hard links gets the rename alone.
    if (::link(from.c_str(), to.c_str()) != 0 && (errno != EEXIST || MissingOrEmpty(path)))
        ::rename(from.c_str(), to.c_str());
    ::unlink(from.c_str());
}

void ReportError(const wxString& text)
{
    ShowMessage(text, "Message", wxOK | wxCENTRE);
}

void CreateSchema(const wxString& path, int kind)
{
    wxSQLite3Database db;
    db.Open(path, wxEmptyString, WXSQLITE_OPEN_READWRITE);
    db.SetBusyTimeout(g_defaultBusyTimeout);
    {
        // All tables or none: a half-made file would later pass for a real one.
        wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
        if (kind == DbAccess::ConfigDb)
        {
            for (const char* sql : kConfigSchema)
                db.ExecuteUpdate(sql);
        }
        else if (kind == DbAccess::SiteDb)
        {
            for (const char* sql : kSiteSchema)
                db.ExecuteUpdate(sql);
        }
        transaction.Commit();
    }
    db.Close();
}
} // namespace

struct DbAccess::Impl
{
    mutable std::mutex mutex;
    wxString path;
    std::unique_ptr<wxSQLite3Database> database = std::make_unique<wxSQLite3Database>();
    std::vector<SiteRecord> sites;
    TuxAlarmRule tuxRule;
    WlsAlarmRule wlsRule;
    ActionSettings actions;
    wxString lastError;
    int busyTimeout = -1; // -1: the default

    bool Ready() const { return database && database->IsOpen(); }
    int BusyTimeout() const { return busyTimeout >= 0 ? busyTimeout : g_defaultBusyTimeout.load(); }

    wxString Describe(const wxSQLite3Exception& e) const
    {
        wxString text = wxString::Format("Database [%s]: %s", path, e.GetMessage());
        if (e.GetErrorCode() == SQLITE_BUSY)
            text += " (another program is writing to it; try again in a moment)";
        return text;
    }

    // Configuration work under the lock. An SQLite failure is kept as the last
    // error and shown once after the lock is released, so that a scan thread
    // waiting for the store is not held up behind a modal box. On an object
    // whose open failed (already reported) the work fails quietly.
    template <typename Fn>
    int ConfigWork(int failure, Fn&& work)
    {
        wxString error;
        int result = failure;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!Ready())
                return failure;
            try
            {
                result = work(*database);
            }
            catch (const wxSQLite3Exception& e)
            {
                error = Describe(e);
                lastError = error;
                result = failure;
            }
        }
        if (!error.empty())
            ReportError(error);
        return result;
    }

    // Loads that first check their table; a missing one is reported with the
    // table's own message and leaves the cache as it was.
    template <typename Fn>
    int CheckedLoad(const char* table, const char* message, Fn&& work)
    {
        bool missing = false;
        const int result = ConfigWork(-1,
                                      [&](wxSQLite3Database& db)
                                      {
                                          if (!db.TableExists(table))
                                          {
                                              missing = true;
                                              return -1;
                                          }
                                          return work(db);
                                      });
        if (missing)
            ReportError(message);
        return result;
    }

    // History work: no box (it runs on a scan thread), the message stays in
    // lastError for the panel's log.
    template <typename Fn>
    bool HistoryWork(Fn&& work)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!Ready())
        {
            if (lastError.empty())
                lastError = wxString::Format("Database [%s]: not open", path);
            return false;
        }
        try
        {
            work(*database);
            return true;
        }
        catch (const wxSQLite3Exception& e)
        {
            lastError = Describe(e);
            return false;
        }
    }

    template <typename Rec>
    int InsertTable(const char* sql, const std::vector<Rec>& rows, const wxString& recTime)
    {
        if (rows.empty())
            return 0;
        int changed = 0;
        const bool ok = HistoryWork(
            [&](wxSQLite3Database& db)
            {
                wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
                changed = InsertRows(db, sql, rows, recTime);
                transaction.Commit();
            });
        return ok ? changed : 0;
    }
};

DbAccess::DbAccess() : m_impl(std::make_unique<Impl>()) {}

DbAccess::~DbAccess()
{
    Close();
}

void DbAccess::SetDefaultBusyTimeout(int milliseconds)
{
    g_defaultBusyTimeout = milliseconds;
}

void DbAccess::SetBusyTimeout(int milliseconds)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->busyTimeout = milliseconds;
    if (m_impl->Ready())
        m_impl->database->SetBusyTimeout(milliseconds);
}

int DbAccess::Open(const wxString& pathIn, int kind)
{
    wxString path = pathIn;
    if (wxFileName(path).IsRelative())
    {
        wxFileName absolute(path);
        absolute.MakeAbsolute();
        path = absolute.GetFullPath();
    }

    wxString temporary; // the new file being built, when there was none
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        if (m_impl->Ready())
        {
            try
            {
                m_impl->database->Close();
            }
            catch (const wxSQLite3Exception&)
            {
            }
        }
        m_impl->path = path;
        // When no file can be made there, the open below fails and reports
        // SQLite's own message.
        if (MissingOrEmpty(path))
            temporary = MakeTemporaryFile(path);
    }

    if (!temporary.empty())
        ShowMessage(wxString::Format("Can't find database [%s]!, will create a new one!", path),
                    "Message", wxOK | wxCENTRE);

    wxString error;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        try
        {
            if (!temporary.empty())
            {
                try
                {
                    CreateSchema(temporary, kind);
                }
                catch (const wxSQLite3Exception&)
                {
                    wxRemoveFile(temporary);
                    throw;
                }
                PublishNewFile(temporary, path);
            }
            wxSQLite3Database& db = *m_impl->database;
            db.Open(path, wxEmptyString, WXSQLITE_OPEN_READWRITE);
            db.SetBusyTimeout(m_impl->BusyTimeout());
            try
            {
                // SQLite opens lazily: read the schema once so that a file that
                // is not a database is refused here rather than at first use.
                db.ExecuteScalar("select count(*) from sqlite_master;");
            }
            catch (const wxSQLite3Exception&)
            {
                db.Close();
                throw;
            }
            if (kind == SiteDb)
                EnsureHistoryIndexesSoon(db, path); // range queries and retention
        }
        catch (const wxSQLite3Exception& e)
        {
            error = m_impl->Describe(e);
            m_impl->lastError = error;
        }
    }
    if (!error.empty())
    {
        ReportError(error);
        return -1;
    }
    return 1;
}

int DbAccess::Close()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (m_impl->Ready())
    {
        try
        {
            m_impl->database->Close();
        }
        catch (const wxSQLite3Exception& e)
        {
            m_impl->lastError = m_impl->Describe(e);
        }
    }
    return 1;
}

bool DbAccess::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->Ready();
}

wxString DbAccess::Path() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->path;
}

wxString DbAccess::LastError() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->lastError;
}

int DbAccess::LoadSites()
{
    return m_impl->CheckedLoad(
        "SiteList", "The Halvex.db is incorrect!",
        [this](wxSQLite3Database& db)
        {
            wxSQLite3ResultSet rows = db.ExecuteQuery("select * from SiteList;");
            std::vector<SiteRecord> sites;
            while (rows.NextRow())
            {
                SiteRecord site;
                wxString* fields[] = {&site.SiteName,    &site.SiteType, &site.SiteIP,
                                      &site.SitePort,    &site.SiteAuth, &site.SitePwd,
                                      &site.WlsAdminURL, &site.WlsVer,   &site.SiteFlag,
                                      &site.DatabaseFile};
                for (int i = 0; i < 10; ++i)
                    *fields[i] = rows.GetAsString(i);
                sites.push_back(site);
            }
            m_impl->sites = std::move(sites);
            return 1;
        });
}

std::vector<SiteRecord> DbAccess::Sites() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->sites;
}

int DbAccess::InsertSite(const SiteRecord& site)
{
    return m_impl->ConfigWork(0,
                              [&](wxSQLite3Database& db)
                              {
                                  wxSQLite3Statement s = db.PrepareStatement(kInsertSite);
                                  BindTexts(s, 1, {&site.SiteName, &site.SiteType, &site.SiteIP});
                                  s.Bind(4, PortNumber(site.SitePort));
                                  BindTexts(s, 5,
                                            {&site.SiteAuth, &site.SitePwd, &site.WlsAdminURL,
                                             &site.WlsVer, &site.SiteFlag, &site.DatabaseFile});
                                  return s.ExecuteUpdate();
                              });
}

int DbAccess::DeleteSite(const SiteRecord& site, bool removeDatabaseFile, bool keepSettings)
{
    bool deleted = false;
    const int changed = m_impl->ConfigWork(-1,
                                           [&](wxSQLite3Database& db)
                                           {
                                               wxSQLite3Transaction transaction(&db);
                                               wxSQLite3Statement s =
                                                   db.PrepareStatement(kDeleteSite);
                                               s.Bind(1, site.SiteName);
                                               const int n = s.ExecuteUpdate();
                                               if (!keepSettings && db.TableExists("HistoryRetention"))
                                               {
                                                   wxSQLite3Statement r = db.PrepareStatement(
                                                       "delete from HistoryRetention where SiteName = ?;");
                                                   r.Bind(1, site.SiteName);
                                                   r.ExecuteUpdate();
                                               }
                                               transaction.Commit();
                                               deleted = true;
                                               return n;
                                           });
    if (deleted && removeDatabaseFile && IsSiteDatabaseFile(site.DatabaseFile))
    {
        const wxString file = ProgramFile(site.DatabaseFile);
        if (wxFileName::FileExists(file))
            wxRemoveFile(file);
    }
    return changed;
}

int DbAccess::LoadTuxRule(const wxString& siteName)
{
    return m_impl->CheckedLoad("TuxAlarmList", "The Corvane.db is incorrect!",
                               [&](wxSQLite3Database& db)
                               {
                                   wxSQLite3Statement s = db.PrepareStatement(kSelectTuxRule);
                                   s.Bind(1, siteName);
                                   TuxAlarmRule r = m_impl->tuxRule;
                                   // The table has Email before PlaySound.
                                   const int n = ReadLastRow(
                                       s.ExecuteQuery(), {&r.SiteName, &r.SvrDied, &r.LongBusy,
                                                          &r.NoTran, &r.Queued, &r.SMS, &r.Email,
                                                          &r.PlaySound});
                                   m_impl->tuxRule = r;
                                   return n;
                               });
}

int DbAccess::SaveTuxRule(const TuxAlarmRule& rule)
{
    return m_impl->ConfigWork(0,
                              [&](wxSQLite3Database& db)
                              {
                                  return ReplaceRow(db, kDeleteTuxRule, &rule.SiteName,
                                                    kInsertTuxRule,
                                                    {&rule.SiteName, &rule.SvrDied, &rule.LongBusy,
                                                     &rule.NoTran, &rule.Queued, &rule.SMS,
                                                     &rule.Email, &rule.PlaySound});
                              });
}

TuxAlarmRule DbAccess::TuxRule() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->tuxRule;
}

int DbAccess::LoadWlsRule(const wxString& siteName)
{
    return m_impl->CheckedLoad("WlsAlarmList", "here The Halvex.db is incorrect!",
                               [&](wxSQLite3Database& db)
                               {
                                   wxSQLite3Statement s = db.PrepareStatement(kSelectWlsRule);
                                   s.Bind(1, siteName);
                                   WlsAlarmRule r = m_impl->wlsRule;
                                   const int n = ReadLastRow(
                                       s.ExecuteQuery(), {&r.SiteName, &r.SvrDied, &r.FreeHeap,
                                                          &r.IdleThread, &r.IdleJDBC, &r.SMS,
                                                          &r.Email, &r.PlaySound, &r.ThreadDump});
                                   m_impl->wlsRule = r;
                                   return n;
                               });
}

int DbAccess::SaveWlsRule(const WlsAlarmRule& rule)
{
    return m_impl->ConfigWork(0,
                              [&](wxSQLite3Database& db)
                              {
                                  return ReplaceRow(db, kDeleteWlsRule, &rule.SiteName,
                                                    kInsertWlsRule,
                                                    {&rule.SiteName, &rule.SvrDied, &rule.FreeHeap,
                                                     &rule.IdleThread, &rule.IdleJDBC, &rule.SMS,
                                                     &rule.Email, &rule.PlaySound,
                                                     &rule.ThreadDump});
                              });
}

WlsAlarmRule DbAccess::WlsRule() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->wlsRule;
}

int DbAccess::LoadActionSettings()
{
    return m_impl->ConfigWork(0,
                              [&](wxSQLite3Database& db)
                              {
                                  ActionSettings a = m_impl->actions;
                                  // The table lists the columns in reverse order.
                                  const int n =
                                      ReadLastRow(db.ExecuteQuery("select * from ActionSet;"),
                                                  {&a.SMSTo, &a.MailTo, &a.SMTPPwd, &a.SMTPUsr,
                                                   &a.SMTPSvr, &a.SoundFile});
                                  m_impl->actions = a;
                                  return n;
                              });
}

int DbAccess::SaveActionSettings(const ActionSettings& settings)
{
    return m_impl->ConfigWork(0,
                              [&](wxSQLite3Database& db)
                              {
                                  return ReplaceRow(db, kDeleteActions, nullptr, kInsertActions,
                                                    {&settings.SoundFile, &settings.SMTPSvr,
                                                     &settings.SMTPUsr, &settings.SMTPPwd,
                                                     &settings.MailTo, &settings.SMSTo});
                              });
}

ActionSettings DbAccess::GetActionSettings() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->actions;
}

int DbAccess::InsertTuxQueues(const TuxQueueList& queues, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertQueue, queues, recTime);
}

int DbAccess::InsertTuxServers(const TuxServerList& servers, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertServer, servers, recTime);
}

int DbAccess::InsertTuxClients(const TuxClientList& clients, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertClient, clients, recTime);
}

int DbAccess::InsertWlsServers(const WlsServerList& servers, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertWlsServer, servers, recTime);
}

int DbAccess::InsertWlsJvms(const WlsJvmList& jvms, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertWlsJvm, jvms, recTime);
}

int DbAccess::InsertWlsThreads(const WlsThreadList& threads, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertWlsThread, threads, recTime);
}

int DbAccess::InsertWlsJdbc(const WlsJdbcList& pools, const wxString& recTime)
{
    return m_impl->InsertTable(kInsertWlsJdbc, pools, recTime);
}

bool DbAccess::RecordTuxScan(const TuxQueueList& queues, const TuxServerList& servers,
                             const TuxClientList& clients, const wxString& recTime)
{
    // One commit per scan instead of one per row; a failure keeps none of it.
    return m_impl->HistoryWork(
        [&](wxSQLite3Database& db)
        {
            if (queues.empty() && servers.empty() && clients.empty())
                return;
            wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
            InsertRows(db, kInsertQueue, queues, recTime);
            InsertRows(db, kInsertServer, servers, recTime);
            InsertRows(db, kInsertClient, clients, recTime);
            transaction.Commit();
        });
}

bool DbAccess::RecordWlsScan(const WlsServerList& servers, const WlsJvmList& jvms,
                             const WlsThreadList& threads, const WlsJdbcList& pools,
                             const wxString& recTime)
{
    return m_impl->HistoryWork(
        [&](wxSQLite3Database& db)
        {
            if (servers.empty() && jvms.empty() && threads.empty() && pools.empty())
                return;
            wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
            InsertRows(db, kInsertWlsServer, servers, recTime);
            InsertRows(db, kInsertWlsJvm, jvms, recTime);
            InsertRows(db, kInsertWlsThread, threads, recTime);
            InsertRows(db, kInsertWlsJdbc, pools, recTime);
            transaction.Commit();
        });
}

int OpenSiteDatabase(DbAccess& db, const SiteRecord& site)
{
    if (IsSiteDatabaseFile(site.DatabaseFile))
        return db.Open(ProgramFile(site.DatabaseFile), DbAccess::SiteDb);
    ReportError(wxString::Format("The database file [%s] of site [%s] is not a file of its own in "
                                 "the program directory: it is not opened, and the site's alarm "
                                 "rule and history are not used!",
                                 site.DatabaseFile, site.SiteName));
    return -1;
}

int LoadActionSettingsInto(ActionSettings& settings)
{
    DbAccess db;
    if (db.Open(ConfigDbPath(), DbAccess::ConfigDb) == 1 && db.LoadActionSettings() > 0)
        settings = db.GetActionSettings();
    db.Close();
    LoadMailOptions(ConfigDbPath(), settings.Mail);
    return 1;
}
