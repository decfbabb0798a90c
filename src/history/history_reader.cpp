#include "history/history_reader.h"

#include "history/history_time.h"
#include "store/history_indexes.h"

#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <sqlite3.h>

#include <atomic>
#include <map>
#include <set>

const char* const kAllClients = "All clients";

namespace
{
std::atomic<int> g_busyTimeout{2000};

// SQLite's primary result codes the reader tells apart.
enum : int
{
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteCorrupt = 11,
    SqliteNotADb = 26,
};

// Where a gauge metric's values live: a column (or expression) of one table,
// selected by the object's key; rows of one time stamp are added up, and
// seriesColumn splits them into several series.
struct GaugeSource
{
    HistMetric metric;
    const char* table;
    const char* key;
    const char* value;
    const char* seriesColumn;
    double scale;
};

const GaugeSource kGauges[] = {
    {HistMetric::TuxServersRunning, "ServerList", "ProgName", "1", nullptr, 1},
    {HistMetric::TuxQueued, "QueueList", "ProgName", "[Queued]", nullptr, 1},
    {HistMetric::WlsHeapFreePercent, "wlsjvmlist", "ServerName", "[FreePercent]", nullptr, 1},
    {HistMetric::WlsHeapCurrent, "wlsjvmlist", "ServerName", "[CurrentHeap]", nullptr, 1.0 / 1048576},
    {HistMetric::WlsIdleThreads, "wlsthdlist", "ServerName", "[IdleCount]", nullptr, 1},
    {HistMetric::WlsThroughput, "wlsthdlist", "ServerName", "[Throughput]", nullptr, 1},
    {HistMetric::WlsQueueLength, "wlsthdlist", "ServerName", "[QueueLength]", nullptr, 1},
    {HistMetric::WlsJdbcActive, "wlsjdbclist", "JDBCName", "[ActiveCurrent]", "ServerName", 1},
    {HistMetric::WlsJdbcLeaked, "wlsjdbclist", "JDBCName", "[LeakCount]", "ServerName", 1},
};

int PrimaryCode(const wxSQLite3Exception& e)
{
    return e.GetErrorCode() & 0xff;
}

long long FileBytes(const wxString& path)
{
    const wxULongLong size = wxFileName::GetSize(path);
    return size == wxInvalidSize ? 0 : static_cast<long long>(size.GetValue());
}

// The reader's connection: a wrapper's, whose SQLite handle the range reads use.
class ReaderDb : public wxSQLite3Database
{
public:
    sqlite3* Handle() { return static_cast<sqlite3*>(GetDatabaseHandle()); }
};

// A statement through SQLite's own interface: the range reads take each
// row's text where SQLite holds it instead of converting it to wxString and
// back. Failures throw as the wrapper's do.
class RawQuery
{
public:
    RawQuery(wxSQLite3Database& db, const wxString& sql)
        : m_db(static_cast<ReaderDb&>(db).Handle()) // the reader opens only ReaderDb
    {
        Check(sqlite3_prepare_v2(m_db, sql.utf8_str().data(), -1, &m_stmt, nullptr));
    }
    ~RawQuery() { sqlite3_finalize(m_stmt); }
    RawQuery(const RawQuery&) = delete;
    RawQuery& operator=(const RawQuery&) = delete;

    // The object's key and the range [from, to] as RecTime texts.
    void BindRange(const wxString& key, const HistQuery& q)
    {
        sqlite3_reset(m_stmt);
        int i = 1;
        for (const wxString& value : {key, RecTimeAt(q.from), RecTimeAt(q.to)})
            Check(sqlite3_bind_text(m_stmt, i++, value.utf8_str().data(), -1, SQLITE_TRANSIENT));
    }
    bool Next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            Check(rc);
        return rc == SQLITE_ROW;
    }
    const char* Text(int column, int& length) const
    {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        length = sqlite3_column_bytes(m_stmt, column);
        return text ? text : "";
    }
    bool Time(int column, double& t) const
    {
        int length = 0;
        const char* text = Text(column, length);
        long long epoch = 0;
        if (!ParseRecTime(text, static_cast<std::size_t>(length), epoch))
            return false;
        t = static_cast<double>(epoch);
        return true;
    }
    // A number, or text that reads as one; not NULL.
    bool Number(int column, double& value) const
    {
        switch (sqlite3_column_type(m_stmt, column))
        {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            value = sqlite3_column_double(m_stmt, column);
            return true;
        case SQLITE_TEXT:
            return ParseHistNumber(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                   value);
        default:
            return false;
        }
    }
    long long Integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    void Check(int rc) const
    {
        if (rc != SQLITE_OK)
            throw wxSQLite3Exception(rc, wxString::FromUTF8(sqlite3_errmsg(m_db)));
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Steps a range query whose columns are RecTime, a label and a value:
// take(t, label, v) for each row whose time and value read as such; the
// other rows are counted as skipped.
template <typename Take>
void ReadSamples(wxSQLite3Database& db, const wxString& sql, const HistQuery& q, HistResult& result,
                 Take&& take)
{
    RawQuery rows(db, sql);
    rows.BindRange(q.object, q);
    while (rows.Next())
    {
        ++result.rows;
        double t = 0, v = 0;
        if (!rows.Time(0, t) || !rows.Number(2, v))
        {
            ++result.skipped;
            continue;
        }
        int length = 0;
        const char* label = rows.Text(1, length);
        take(t, std::string(label, static_cast<std::size_t>(length)), v);
    }
}

// Adds a sample; rows of one series at one time stamp are added up.
void AddSample(HistPoints& points, double t, double v)
{
    if (!points.empty() && points.back().t == t)
        points.back().v += v;
    else
        points.push_back({t, v, false});
}

void LoadGauge(wxSQLite3Database& db, const GaugeSource& g, const HistQuery& q, HistPlot& plot,
               HistResult& result)
{
    if (!db.TableExists(g.table))
        return;
    const wxString seriesColumn = g.seriesColumn ? wxString::Format("[%s]", g.seriesColumn) : "''";
    std::map<std::string, HistPoints> series;
    ReadSamples(db,
                wxString::Format("select RecTime, %s, %s from [%s] where [%s] = ? and RecTime >= ? "
                                 "and RecTime <= ? order by RecTime;",
                                 seriesColumn, g.value, g.table, g.key),
                q, result,
                [&](double t, std::string label, double v) { AddSample(series[label], t, v * g.scale); });
    for (auto& [label, points] : series)
    {
        MarkGaps(points);
        plot.series.push_back({g.seriesColumn ? wxString::FromUTF8(label) : q.object, std::move(points)});
    }
}

void LoadRequestRate(wxSQLite3Database& db, const HistQuery& q, HistPlot& plot, HistResult& result)
{
    if (!db.TableExists("ServerList"))
        return;
    std::vector<CounterSample> samples;
    ReadSamples(db,
                "select RecTime, ProcessID, RqDone from ServerList where ProgName = ? and "
                "RecTime >= ? and RecTime <= ? order by RecTime;",
                q, result,
                [&](double t, std::string process, double v)
                { samples.push_back({t, std::move(process), v}); });
    plot.series.push_back({q.object, CounterRatePerMinute(samples)});
}

void LoadClients(wxSQLite3Database& db, const HistQuery& q, HistPlot& plot, HistResult& result)
{
    if (!db.TableExists("ClientList"))
        return;
    // Each status through the index; a scan without a client of some status
    // counts 0 there, not a gap.
    std::map<wxString, std::map<double, double>> counts;
    std::set<double> scans;
    RawQuery rows(db, "select RecTime, count(*) from ClientList where ClientStatus = ? and "
                      "RecTime >= ? and RecTime <= ? group by RecTime;");
    for (const wxString& status : DistinctByIndex(db, "ClientList", "ClientStatus"))
    {
        rows.BindRange(status, q);
        while (rows.Next())
        {
            const long long n = rows.Integer(1);
            result.rows += n;
            double t = 0;
            if (!rows.Time(0, t))
            {
                result.skipped += n;
                continue;
            }
            counts[status][t] = static_cast<double>(n);
            scans.insert(t);
        }
    }
    for (auto& [status, byTime] : counts)
    {
        HistSeries series{status, {}};
        for (double t : scans)
        {
            const auto found = byTime.find(t);
            series.points.push_back({t, found == byTime.end() ? 0.0 : found->second, false});
        }
        MarkGaps(series.points);
        plot.series.push_back(std::move(series));
    }
}
} // namespace

const std::vector<HistMetricInfo>& HistMetrics()
{
    static const std::vector<HistMetricInfo> metrics = {
        {HistMetric::TuxRequestsPerMinute, HistKind::TuxServer, "Requests done per minute",
         "requests/min"},
        {HistMetric::TuxServersRunning, HistKind::TuxServer, "Running servers", "processes"},
        {HistMetric::TuxQueued, HistKind::TuxQueue, "Queued requests", "requests"},
        {HistMetric::TuxClientsByStatus, HistKind::TuxClients, "Clients by status", "clients"},
        {HistMetric::WlsHeapFreePercent, HistKind::WlsServer, "Heap free", "%"},
        {HistMetric::WlsHeapCurrent, HistKind::WlsServer, "Current heap", "MiB"},
        {HistMetric::WlsIdleThreads, HistKind::WlsServer, "Idle threads", "threads"},
        {HistMetric::WlsThroughput, HistKind::WlsServer, "Throughput", "requests/s"},
        {HistMetric::WlsQueueLength, HistKind::WlsServer, "Queue length", "requests"},
        {HistMetric::WlsJdbcActive, HistKind::WlsJdbc, "Active connections", "connections"},
        {HistMetric::WlsJdbcLeaked, HistKind::WlsJdbc, "Leaked connections", "connections"},
    };
    return metrics;
}

const HistMetricInfo& MetricInfo(HistMetric metric)
{
    for (const HistMetricInfo& info : HistMetrics())
        if (info.metric == metric)
            return info;
    return HistMetrics().front();
}

std::vector<HistMetric> MetricsOf(HistKind kind)
{
    std::vector<HistMetric> metrics;
    for (const HistMetricInfo& info : HistMetrics())
        if (info.kind == kind)
            metrics.push_back(info.metric);
    return metrics;
}

const char* KindLabel(HistKind kind)
{
    switch (kind)
    {
    case HistKind::TuxServer:
        return "Server program";
    case HistKind::TuxQueue:
        return "Queue";
    case HistKind::TuxClients:
        return "Clients";
    case HistKind::WlsServer:
        return "WebLogic server";
    case HistKind::WlsJdbc:
        return "JDBC pool";
    }
    return "";
}

bool KindIsWebLogic(HistKind kind)
{
    return kind == HistKind::WlsServer || kind == HistKind::WlsJdbc;
}

std::vector<wxString> DistinctByIndex(wxSQLite3Database& db, const char* table, const char* column)
{
    std::vector<wxString> values;
    wxSQLite3Statement first = db.PrepareStatement(wxString::Format(
        "select [%s] from [%s] where [%s] is not null order by [%s] limit 1;", column, table,
        column, column));
    wxSQLite3Statement next = db.PrepareStatement(wxString::Format(
        "select [%s] from [%s] where [%s] > ? order by [%s] limit 1;", column, table, column,
        column));
    wxSQLite3ResultSet row = first.ExecuteQuery();
    // A cap against a key column that holds a new value on every row.
    while (row.NextRow() && values.size() < 20000)
    {
        values.push_back(row.GetAsString(0));
        next.Reset();
        next.Bind(1, values.back());
        row = next.ExecuteQuery();
    }
    return values;
}

HistoryReader::HistoryReader() = default;

HistoryReader::~HistoryReader()
{
    Close();
}

void HistoryReader::SetBusyTimeout(int milliseconds)
{
    g_busyTimeout = milliseconds;
}

HistoryReader::Opened HistoryReader::Open(const wxString& path)
{
    Close();
    m_path = path;
    Opened opened;
    if (!wxFileName::FileExists(path))
    {
        opened.status = Missing;
        opened.message =
            wxString::Format("No history: the site database [%s] does not exist.", path);
        return opened;
    }
    std::unique_ptr<wxSQLite3Database> db = std::make_unique<ReaderDb>();
    try
    {
        try
        {
            db->Open(path, wxEmptyString, WXSQLITE_OPEN_READWRITE);
        }
        catch (const wxSQLite3Exception&)
        {
            db->Open(path, wxEmptyString, WXSQLITE_OPEN_READONLY);
        }
        db->SetBusyTimeout(g_busyTimeout);
        db->ExecuteScalar("select count(*) from sqlite_master;");
        bool any = false;
        for (const HistoryTable& t : kHistoryTables)
            any = any || db->TableExists(t.table);
        if (!any)
        {
            opened.status = NoHistory;
            opened.message = wxString::Format(
                "The file [%s] holds no history tables: it is not a site database.", path);
            return opened;
        }
    }
    catch (const wxSQLite3Exception& e)
    {
        const int code = PrimaryCode(e);
        if (code == SqliteBusy || code == SqliteLocked)
        {
            opened.status = Locked;
            opened.message = wxString::Format(
                "The site database [%s] is locked by another program; try again later. (%s)",
                path, e.GetMessage());
        }
        else
        {
            opened.status = Damaged;
            opened.message = wxString::Format(
                code == SqliteNotADb || code == SqliteCorrupt
                    ? "The site database [%s] is damaged or is not a database: %s"
                    : "The site database [%s] cannot be read: %s",
                path, e.GetMessage());
        }
        return opened;
    }
    wxString error;
    if (!EnsureHistoryIndexes(*db, &error))
        opened.message = "The range indexes could not be added, charts load slower: " + error;
    try
    {
        // Range reads jump between pages: map the file rather than read it.
        db->ExecuteQuery("pragma mmap_size = 1073741824;");
        db->ExecuteUpdate("pragma cache_size = -32768;");
    }
    catch (const wxSQLite3Exception&)
    {
    }
    std::lock_guard<std::mutex> lock(m_interruptMutex);
    m_db = std::move(db);
    opened.status = Ok;
    return opened;
}

void HistoryReader::Close()
{
    std::unique_ptr<wxSQLite3Database> db;
    {
        std::lock_guard<std::mutex> lock(m_interruptMutex);
        db = std::move(m_db);
    }
    if (db && db->IsOpen())
    {
        try
        {
            db->Close();
        }
        catch (const wxSQLite3Exception&)
        {
        }
    }
}

bool HistoryReader::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_interruptMutex);
    return m_db && m_db->IsOpen();
}

void HistoryReader::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_interruptMutex);
    if (m_db && m_db->IsOpen())
        m_db->Interrupt();
}

wxString HistoryReader::Describe(const wxString& what) const
{
    return wxString::Format("Reading the site database [%s] failed: %s", m_path, what);
}

std::vector<wxString> HistoryReader::Objects(HistKind kind)
{
    std::set<wxString> names;
    if (!m_db)
        return {};
    try
    {
        auto add = [&](const char* table, const char* column)
        {
            if (m_db->TableExists(table))
                for (const wxString& name : DistinctByIndex(*m_db, table, column))
                    names.insert(name);
        };
        switch (kind)
        {
        case HistKind::TuxServer:
            add("ServerList", "ProgName");
            break;
        case HistKind::TuxQueue:
            add("QueueList", "ProgName");
            break;
        case HistKind::TuxClients:
            add("ClientList", "ClientStatus");
            if (!names.empty())
                return {kAllClients};
            break;
        case HistKind::WlsServer:
            add("wlsjvmlist", "ServerName");
            add("wlsthdlist", "ServerName");
            break;
        case HistKind::WlsJdbc:
            add("wlsjdbclist", "JDBCName");
            break;
        }
    }
    catch (const wxSQLite3Exception&)
    {
        return {};
    }
    return std::vector<wxString>(names.begin(), names.end());
}

HistResult HistoryReader::Load(const HistQuery& query)
{
    HistResult result;
    if (!m_db)
    {
        result.error = Describe("not open");
        return result;
    }
    try
    {
        for (HistMetric metric : query.metrics)
        {
            const HistMetricInfo& info = MetricInfo(metric);
            HistPlot plot;
            plot.title = info.kind == HistKind::TuxClients ? wxString(info.label)
                                                           : query.object + ": " + info.label;
            plot.unit = info.unit;
            if (metric == HistMetric::TuxRequestsPerMinute)
                LoadRequestRate(*m_db, query, plot, result);
            else if (metric == HistMetric::TuxClientsByStatus)
                LoadClients(*m_db, query, plot, result);
            for (const GaugeSource& g : kGauges)
                if (g.metric == metric)
                    LoadGauge(*m_db, g, query, plot, result);
            result.plots.push_back(std::move(plot));
        }
    }
    catch (const wxSQLite3Exception& e)
    {
        result.plots.clear();
        result.error = Describe(e.GetMessage());
    }
    return result;
}

HistFileStats HistoryReader::Stats()
{
    HistFileStats stats;
    stats.fileBytes = FileBytes(m_path);
    if (!m_db)
        return stats;
    try
    {
        stats.freeBytes = static_cast<long long>(m_db->ExecuteScalar("pragma freelist_count;")) *
                          m_db->ExecuteScalar("pragma page_size;");
        for (const HistoryTable& t : kHistoryTables)
        {
            if (m_db->TableExists(t.table))
            {
                wxSQLite3ResultSet n =
                    m_db->ExecuteQuery(wxString::Format("select count(*) from [%s];", t.table));
                stats.rows.emplace_back(t.table, n.NextRow() ? n.GetInt64(0).GetValue() : 0);
            }
        }
    }
    catch (const wxSQLite3Exception& e)
    {
        stats.error = Describe(e.GetMessage());
    }
    return stats;
}

bool HistoryReader::Compact(long long& bytesBefore, long long& bytesAfter, wxString& error)
{
    bytesBefore = bytesAfter = FileBytes(m_path);
    if (!m_db)
    {
        error = Describe("not open");
        return false;
    }
    try
    {
        if (m_db->IsReadOnly())
        {
            error = wxString::Format("The site database [%s] can only be read here.", m_path);
            return false;
        }
        m_db->ExecuteUpdate("pragma auto_vacuum = incremental;");
        m_db->ExecuteUpdate("vacuum;");
    }
    catch (const wxSQLite3Exception& e)
    {
        error = Describe(e.GetMessage());
        return false;
    }
    bytesAfter = FileBytes(m_path);
    return true;
}
