#pragma once

#include <wx/string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// How long each site keeps its history: the table HistoryRetention of
// Corvane.db ([SiteName] varchar UNIQUE, [KeepDays] int), created the first
// time the operator sets a limit. A site without a row keeps everything.

// A site of Corvane.db as the charts see it.
struct HistSite
{
    wxString name;
    wxString type; // "TUXEDO" or "WEBLOGIC"
    wxString databaseFile;
};
// The sites of Corvane.db, read without creating or changing anything; empty
// with *error when the file is missing or unreadable.
std::vector<HistSite> LoadHistSites(const wxString& configPath, wxString* error = nullptr);

// Days the site keeps (0: everything); -1 with *error when Corvane.db could
// not be read. Never creates anything.
int LoadKeepDays(const wxString& configPath, const wxString& siteName, wxString* error = nullptr);
// 0 removes the limit. Never creates Corvane.db itself.
bool SaveKeepDays(const wxString& configPath, const wxString& siteName, int days,
                  wxString* error = nullptr);

struct PurgeOptions
{
    int batchRows = 1000; // rows deleted per transaction
    int pauseMs = 20;     // between transactions, so a scan's recording gets in
    const std::atomic<bool>* stop = nullptr;
};

struct PurgeReport
{
    long long deleted = 0;
    int batches = 0;
    double longestBatchMs = 0;
    double totalBatchMs = 0;
    long long pagesFreed = 0; // given back to the file system (incremental vacuum)
    wxString error;
};

// Deletes the history rows of one site database whose RecTime is more than
// keepDays days before now, in batches of its own transactions; then, when the
// file was compacted for it, gives the freed pages back a little at a time.
// Nothing else is touched; the range indexes are added when missing.
PurgeReport PurgeHistory(const wxString& siteDbPath, int keepDays, long long now,
                         const PurgeOptions& options = PurgeOptions());

// The process-wide background purge: a thread that now and then walks the
// sites of Corvane.db that have a limit and purges each. Windows need not be
// there; a headless program can run one the same way.
class HistoryPurger
{
public:
    struct Timing
    {
        std::chrono::milliseconds firstPass{std::chrono::seconds(30)};
        std::chrono::milliseconds period{std::chrono::minutes(10)};
    };

    HistoryPurger(const wxString& configPath, Timing timing, PurgeOptions options = PurgeOptions());
    ~HistoryPurger(); // Stop
    HistoryPurger(const HistoryPurger&) = delete;
    HistoryPurger& operator=(const HistoryPurger&) = delete;

    void Start();
    void Stop(); // ends a batch in progress soon, then joins
    void Wake(); // a pass now (a limit was changed)
    // Wakes the purger that runs in this process, if any.
    static void WakeRunning();

    // One pass on the calling thread: every site with a limit.
    std::vector<PurgeReport> RunPass();

private:
    void Loop();

    wxString m_configPath;
    Timing m_timing;
    PurgeOptions m_options;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
    std::thread m_thread;
};
