#pragma once

#include "history/history_series.h"

#include <wx/string.h>

#include <memory>
#include <mutex>
#include <vector>

class wxSQLite3Database;

// What a chart can show of a site's history.
enum class HistKind
{
    TuxServer,  // a Tuxedo server program (all its processes)
    TuxQueue,   // a Tuxedo queue (by its program name)
    TuxClients, // the site's clients, one series per status
    WlsServer,  // a WebLogic server: heap and execute threads
    WlsJdbc,    // a JDBC pool, one series per server it runs on
};

enum class HistMetric
{
    TuxRequestsPerMinute,
    TuxServersRunning,
    TuxQueued,
    TuxClientsByStatus,
    WlsHeapFreePercent,
    WlsHeapCurrent,
    WlsIdleThreads,
    WlsThroughput,
    WlsQueueLength,
    WlsJdbcActive,
    WlsJdbcLeaked,
};

struct HistMetricInfo
{
    HistMetric metric;
    HistKind kind;
    const char* label;
    const char* unit;
};

const std::vector<HistMetricInfo>& HistMetrics();
const HistMetricInfo& MetricInfo(HistMetric metric);
std::vector<HistMetric> MetricsOf(HistKind kind);
const char* KindLabel(HistKind kind);
bool KindIsWebLogic(HistKind kind);
// The object name of the clients kind (the site as a whole).
extern const char* const kAllClients;

struct HistQuery
{
    HistKind kind = HistKind::TuxServer;
    wxString object;
    std::vector<HistMetric> metrics;
    long long from = 0; // seconds since the epoch, both ends included
    long long to = 0;
};

struct HistResult
{
    std::vector<HistPlot> plots; // one per metric asked, in order
    long long rows = 0;          // rows read
    long long skipped = 0;       // rows whose value or RecTime is not a number or time
    wxString error;              // empty when the query ran
};

struct HistFileStats
{
    long long fileBytes = 0;
    long long freeBytes = 0; // pages SQLite keeps free inside the file
    std::vector<std::pair<wxString, long long>> rows; // history table, row count
    wxString error;
};

// Reads one site database for the charts. Never creates the file and never
// writes to it, except the range indexes it adds when they are missing and a
// compaction the operator asks for. One thread at a time uses a reader;
// Interrupt may come from any thread.
class HistoryReader
{
public:
    enum Status
    {
        Ok,
        Missing,   // no such file
        Locked,    // another program holds it
        Damaged,   // not a database, or a damaged one
        NoHistory, // a database without history tables
    };
    struct Opened
    {
        Status status = Missing;
        wxString message; // for the operator; empty when Ok with indexes
    };

    HistoryReader();
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    Opened Open(const wxString& path);
    void Close();
    bool IsOpen() const;
    const wxString& Path() const { return m_path; }

    // How long a statement waits for a file another connection holds.
    static void SetBusyTimeout(int milliseconds); // 2000 unless a test changes it

    // The objects of a kind that have rows, sorted by name.
    std::vector<wxString> Objects(HistKind kind);
    HistResult Load(const HistQuery& query);
    HistFileStats Stats();
    // Rewrites the file without its free pages, and lets later purges give
    // pages back as they free them (incremental vacuum). Sizes before and after.
    bool Compact(long long& bytesBefore, long long& bytesAfter, wxString& error);

    // Cuts a running statement short (it then fails as interrupted).
    void Interrupt();

private:
    wxString Describe(const wxString& what) const;

    wxString m_path;
    std::unique_ptr<wxSQLite3Database> m_db;
    mutable std::mutex m_interruptMutex; // Interrupt against Open/Close
};

// The distinct values of column in table, in order, walked through the
// column's index one seek at a time (NULL left out).
std::vector<wxString> DistinctByIndex(wxSQLite3Database& db, const char* table, const char* column);
