// Reading history back from real site databases: indexes on old files, files
// the reader must refuse without writing, loads through the real recording,
// and retention.
#include "history/history_reader.h"
#include "history/history_retention.h"
#include "history/history_time.h"
#include "store/history_indexes.h"
#include "store/store_fixture.h"

#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <ctime>
#include <thread>

namespace
{
const char* const kIndexCount = "select count(*) from sqlite_master where type = 'index' and "
                                "name like '%_RecTime'";

TuxServerRec Server(const wxString& prog, const wxString& pid, const wxString& done)
{
    return TuxServerRec{prog, "Q", pid, "-", done, "1", "5", "IDLE", "1024", 0};
}

class HistoryStoreTest : public OpenStoreTest
{
protected:
    // A Tuxedo scan of two programs, one queue and one client at time t.
    void Scan(DbAccess& db, long long t, const wxString& done)
    {
        TuxQueueRec queue;
        queue.ProgName = "ACCTSVR";
        queue.Queued = "3";
        ASSERT_TRUE(db.RecordTuxScan({queue}, {Server("ACCTSVR", "11", done), Server("BILLSVR", "12", "5")},
                                     {TuxClientRec{"c1", "1", "a", "t", "IDLE"}}, RecTimeAt(t)));
    }
    const long long m_now = std::time(nullptr);
};
} // namespace

// A file written before the range indexes existed gains them when a panel
// or the chart window opens it, and keeps its rows.
TEST_F(HistoryStoreTest, AnOldFileGainsTheRangeIndexes)
{
    EXPECT_EQ(RawDb(SitePath()).Value(kIndexCount), "7"); // a new file has them at once
    Scan(m_site, m_now, "1");
    m_site.Close();
    RawDb(SitePath()).Exec("drop index ServerList_ProgName_RecTime; drop index ClientList_ClientStatus_RecTime;");
    ASSERT_EQ(m_site.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(RawDb(SitePath()).Value(kIndexCount), "7");
    m_site.Close();

    // A large file gains them from a background thread (the highest row id
    // is what the open estimates the size by).
    RawDb(SitePath()).Exec("drop index ServerList_ProgName_RecTime; insert into ServerList (rowid, ProgName) "
                           "values (900000, 'X');");
    ASSERT_EQ(m_site.Open(SitePath(), DbAccess::SiteDb), 1);
    WaitForHistoryIndexing(SitePath());
    EXPECT_EQ(RawDb(SitePath()).Value(kIndexCount), "7");
    m_site.Close();

    RawDb(SitePath()).Exec("drop index QueueList_ProgName_RecTime;");
    HistoryReader reader;
    const HistoryReader::Opened opened = reader.Open(SitePath());
    EXPECT_EQ(opened.status, HistoryReader::Ok) << opened.message;
    EXPECT_EQ(RawDb(SitePath()).Value(kIndexCount), "7");
    EXPECT_EQ(RawDb(SitePath()).Value("select count(*) from ServerList"), "3");
}

// Files the reader refuses: a clear message and not one byte written.
TEST_F(HistoryStoreTest, BadFilesGiveAMessageAndStayAsTheyWere)
{
    HistoryReader::SetBusyTimeout(100);
    WriteFileBytes(m_home.File("junk.db"), std::string(4096, 'x'));
    RawDb(m_home.File("other.db")).Exec("create table Notes (Text varchar); insert into Notes values ('x');");
    RawDb locker(SitePath());
    locker.Exec("begin exclusive; insert into QueueList (ProgName) values ('held');");
    const struct
    {
        const char* file;
        HistoryReader::Status status;
        const char* says;
    } cases[] = {{"missing.db", HistoryReader::Missing, "does not exist"},
                 {"junk.db", HistoryReader::Damaged, "not a database"},
                 {"other.db", HistoryReader::NoHistory, "holds no history tables"},
                 {"site.db", HistoryReader::Locked, "is locked by another program"}};
    for (const auto& c : cases)
    {
        const std::string before = ReadFileBytes(m_home.File(c.file));
        HistoryReader reader;
        const HistoryReader::Opened opened = reader.Open(m_home.File(c.file));
        EXPECT_EQ(opened.status, c.status) << c.file;
        EXPECT_TRUE(opened.message.Contains(c.says)) << opened.message;
        EXPECT_TRUE(opened.message.Contains(m_home.File(c.file))) << opened.message;
        EXPECT_EQ(ReadFileBytes(m_home.File(c.file)), before) << c.file;
    }
    EXPECT_FALSE(m_home.Exists("missing.db"));
    locker.Exec("rollback;");
    HistoryReader::SetBusyTimeout(2000);
}

// Rows written by the recording read back as series: objects by name, rates
// per minute, running servers, a value that is not a number skipped and
// counted, and a range without rows empty.
TEST_F(HistoryStoreTest, RecordedScansReadBackAsSeries)
{
    Scan(m_site, m_now - 120, "100");
    Scan(m_site, m_now - 60, "N/A");
    Scan(m_site, m_now, "160");
    HistoryReader reader;
    ASSERT_EQ(reader.Open(SitePath()).status, HistoryReader::Ok);
    EXPECT_EQ(reader.Objects(HistKind::TuxServer), (std::vector<wxString>{"ACCTSVR", "BILLSVR"}));
    EXPECT_EQ(reader.Objects(HistKind::TuxClients), (std::vector<wxString>{kAllClients}));
    EXPECT_TRUE(reader.Objects(HistKind::WlsServer).empty());

    HistQuery q{HistKind::TuxServer, "ACCTSVR",
                {HistMetric::TuxRequestsPerMinute, HistMetric::TuxServersRunning}, m_now - 3600, m_now};
    const HistResult result = reader.Load(q);
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.rows, 6);
    EXPECT_EQ(result.skipped, 1);
    ASSERT_EQ(result.plots.size(), 2u);
    ASSERT_EQ(result.plots[0].series.at(0).points.size(), 1u);
    EXPECT_DOUBLE_EQ(result.plots[0].series[0].points[0].v, 30); // 60 done in two minutes
    EXPECT_EQ(result.plots[1].series.at(0).points.size(), 3u);
    EXPECT_EQ(result.plots[1].series[0].points[0].v, 1);

    q.from = m_now - 7200;
    q.to = m_now - 3600;
    const HistResult none = reader.Load(q);
    EXPECT_TRUE(none.plots.at(0).Empty() && none.plots.at(1).Empty());

    const HistFileStats stats = reader.Stats();
    EXPECT_EQ(stats.rows.at(0), (std::pair<wxString, long long>("ServerList", 6)));
    const std::string csv = HistCsv(result.plots);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "Metric,Series,Local time,RecTime (UTC+8),Value");
    EXPECT_NE(csv.find("ACCTSVR: Requests done per minute,ACCTSVR," + LocalTimeText(m_now).ToStdString() +
                       "," + RecTimeAt(m_now).ToStdString() + ",30\n"),
              std::string::npos);
}

// WebLogic values as recorded: a percentage with its sign, heap bytes shown
// in MiB, and a pool's connections one series per server it runs on.
TEST_F(HistoryStoreTest, WebLogicRowsReadBackPerServerAndPool)
{
    for (long long t : {m_now - 60, m_now})
    {
        const wxString active = t == m_now ? "4" : "2";
        ASSERT_TRUE(m_site.RecordWlsScan(
            {}, {{"ms1", "v", "1", "1048576", "3145728", "4194304", "25%", 0}}, {},
            {{"ms1", active, "9", "10", "", "", "0", "OrderDS", "Running", 0},
             {"ms2", "7", "9", "10", "", "", "0", "OrderDS", "Running", 0}},
            RecTimeAt(t)));
    }
    HistoryReader reader;
    ASSERT_EQ(reader.Open(SitePath()).status, HistoryReader::Ok);
    EXPECT_EQ(reader.Objects(HistKind::WlsJdbc), (std::vector<wxString>{"OrderDS"}));
    const HistResult heap = reader.Load(
        {HistKind::WlsServer, "ms1", {HistMetric::WlsHeapFreePercent, HistMetric::WlsHeapCurrent}, m_now - 600, m_now});
    ASSERT_EQ(heap.plots.size(), 2u);
    EXPECT_EQ(heap.plots[0].series.at(0).points.at(1).v, 25);
    EXPECT_EQ(heap.plots[1].series.at(0).points.at(1).v, 3);
    const HistResult pool =
        reader.Load({HistKind::WlsJdbc, "OrderDS", {HistMetric::WlsJdbcActive}, m_now - 600, m_now});
    ASSERT_EQ(pool.plots.at(0).series.size(), 2u);
    EXPECT_EQ(pool.plots[0].series[0].name, "ms1");
    EXPECT_EQ(pool.plots[0].series[0].points.at(1).v, 4);
    EXPECT_EQ(pool.plots[0].series[1].points.at(1).v, 7);
}

// A limit deletes exactly the rows older than it, in every history table of
// that site and of no other, in small batches; a compacted file gives the
// freed pages back.
TEST_F(HistoryStoreTest, RetentionDeletesExactlyTheOldRowsOfItsSite)
{
    DbAccess other;
    ASSERT_EQ(other.Open(SitePath("other.db"), DbAccess::SiteDb), 1);
    // The last scan is old but written after new ones: the clock was set back.
    for (long long age : {10 * 86400, 8 * 86400, 7 * 86400 - 60, 3600, 9 * 86400})
    {
        Scan(m_site, m_now - age, "1");
        Scan(other, m_now - age, "1");
    }
    TuxAlarmRule rule;
    rule.SiteName = "mine";
    ASSERT_EQ(m_site.SaveTuxRule(rule), 1);
    for (const char* site : {"mine", "theirs"})
        ASSERT_EQ(m_config.InsertSite(SiteRecord{site, "TUXEDO", "h", "1", "", "", "", "", "",
                                                 wxString(site) == "mine" ? "site.db" : "other.db"}),
                  1);
    EXPECT_EQ(LoadKeepDays(ConfigPath(), "mine"), 0);
    ASSERT_TRUE(SaveKeepDays(ConfigPath(), "mine", 7));
    ASSERT_TRUE(SaveKeepDays(ConfigPath(), "theirs", 30));
    ASSERT_TRUE(SaveKeepDays(ConfigPath(), "theirs", 0)); // back to keeping everything
    EXPECT_EQ(LoadKeepDays(ConfigPath(), "mine"), 7);

    // The alarm journal keeps as long as the history.
    {
        wxSQLite3Database journal;
        journal.Open(SitePath());
        journal.ExecuteUpdate("create table AlarmJournal (SiteName, Time, Kind, Object, Event, Text);");
        journal.ExecuteUpdate(wxString::Format("insert into AlarmJournal(Time) values (%lld), (%lld);",
                                               m_now - 8 * 86400, m_now - 3600));
    }

    HistoryReader compact;
    long long before = 0, after = 0;
    wxString error;
    ASSERT_EQ(compact.Open(SitePath()).status, HistoryReader::Ok);
    ASSERT_TRUE(compact.Compact(before, after, error)) << error;
    compact.Close();

    PurgeOptions options;
    options.batchRows = 2;
    options.pauseMs = 0;
    HistoryPurger purger(ConfigPath(), HistoryPurger::Timing(), options);
    const std::vector<PurgeReport> reports = purger.RunPass();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].error.empty()) << reports[0].error;
    EXPECT_EQ(reports[0].deleted, 13); // three scans of four rows, one journal row
    EXPECT_EQ(reports[0].batches, 8);  // per table: rows in order, then the late one(s); the journal
    RawDb mine(SitePath());
    const wxString cutoff = RecTimeAt(m_now - 7 * 86400);
    for (const char* table : {"ServerList", "QueueList", "ClientList"})
    {
        EXPECT_EQ(mine.Value(wxString("select count(*) from ") + table + " where RecTime < '" + cutoff + "'"), "0");
        EXPECT_EQ(mine.Value(wxString("select count(*) from ") + table + " where RecTime >= '" + cutoff + "'"),
                  wxString(table) == "ServerList" ? "4" : "2");
    }
    EXPECT_EQ(mine.Value("select count(*) from TuxAlarmList"), "1");
    EXPECT_EQ(mine.Value("select Time from AlarmJournal"), wxString::Format("%lld", m_now - 3600));
    EXPECT_EQ(RawDb(SitePath("other.db")).Value("select count(*) from ServerList"), "10");
    EXPECT_EQ(mine.Value("pragma auto_vacuum"), "2");
    EXPECT_EQ(mine.Value("pragma freelist_count"), "0");

    // The process's purger, on its own thread, runs a pass when woken.
    Scan(m_site, m_now - 30 * 86400, "1");
    HistoryPurger running(ConfigPath(), HistoryPurger::Timing{std::chrono::hours(1), std::chrono::hours(1)},
                          options);
    running.Start();
    HistoryPurger::WakeRunning();
    for (int i = 0; i < 500 && mine.Value("select count(*) from ServerList") != "4"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(mine.Value("select count(*) from ServerList"), "4");
    running.Stop();

    // An edit puts the site back and keeps its limit; a delete forgets it,
    // so a new site of the same name keeps everything until told otherwise.
    const SiteRecord site{"mine", "TUXEDO", "h", "1", "", "", "", "", "", "site.db"};
    ASSERT_EQ(m_config.DeleteSite(site, false, true), 1);
    ASSERT_EQ(m_config.InsertSite(site), 1);
    EXPECT_EQ(LoadKeepDays(ConfigPath(), "mine"), 7);
    ASSERT_EQ(m_config.DeleteSite(site, false), 1);
    ASSERT_EQ(m_config.InsertSite(site), 1);
    EXPECT_EQ(LoadKeepDays(ConfigPath(), "mine"), 0);
}
