// History of scans: the columns each record lands in, one transaction per
// scan, failures that keep monitoring alive, and two threads on one object.
#include "store/store_fixture.h"

#include <thread>

namespace
{
TuxQueueRec Queue(const wxString& name, const wxString& queued)
{
    TuxQueueRec q;
    q.ProgName = name;
    q.Queueid = "IPC" + name;
    q.SrvCnt = "2";
    q.Spare1 = "unrecorded";
    q.Queued = queued;
    return q;
}

TuxServerRec Server(const wxString& name)
{
    return TuxServerRec{name, "Q" + name, "4242", "-", "17", "1", "5", "IDLE", "1024", 0};
}

TuxClientRec Client(const wxString& name)
{
    return TuxClientRec{name, "999", "//10.1.1.1:5000", "00:10:00", "IDLE"};
}

// The SQLite header's file change counter: it grows by one per committed
// write transaction (rollback-journal mode).
unsigned FileChangeCounter(const wxString& path)
{
    const std::string bytes = ReadFileBytes(path);
    if (bytes.size() < 28)
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 24;
    return (unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3];
}

class HistoryTest : public OpenStoreTest
{
protected:
    void TearDown() override { EXPECT_TRUE(m_prompts.Messages().empty()) << "history shows no box"; }
    wxString Count(const wxString& table) { return RawDb(SitePath()).Value("select count(*) from " + table); }
};
} // namespace

// Each kind of scan fills its own tables, in the designed column order, with
// numbers as text into int columns (a non-number stays text).
TEST_F(HistoryTest, ScansLandInTheDesignedColumns)
{
    const wxString t = "2024-05-06 07:08:09";
    ASSERT_TRUE(m_site.RecordTuxScan({Queue("SVR'A", "3"), Queue("100%", "N/A")},
                                     {Server("S\\1")}, {Client("clïent")}, t));
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Rows("select ProgName, Queued, typeof(Queued), SvrCnt, typeof(SvrCnt), "
                       "IPCSID, RecTime from QueueList order by rowid"),
              (Grid{{"SVR'A", "3", "integer", "2", "integer", "IPCSVR'A", t},
                    {"100%", "N/A", "text", "2", "integer", "IPC100%", t}}));
    EXPECT_EQ(raw.Rows("select * from ServerList"),
              (Grid{{"S\\1", "1024", "IDLE", "1", "5", "17", "4242", "QS\\1", t}}));
    EXPECT_EQ(raw.Rows("select * from ClientList"),
              (Grid{{"00:10:00", "IDLE", "//10.1.1.1:5000", "999", "clïent", t}}));
    const wxString wlsRows = "select (select count(*) from WlsSvrlist) + (select count(*) from "
                             "wlsjvmlist) + (select count(*) from wlsthdlist) + (select count(*) "
                             "from wlsjdbclist)";
    EXPECT_EQ(raw.Value(wlsRows), "0");

    ASSERT_TRUE(m_site.RecordWlsScan({{"Admin", "host", "7001", "RUNNING", "HEALTH_OK", "", "", 0}},
                                     {{"Admin", "Oracle", "1.8", "1048576", "2097152", "4194304", "25%", 0}},
                                     {{"Admin", "20", "5", "3", "150", 0}},
                                     {{"Admin", "4", "9", "10", "", "", "0", "pool'1", "Running", 0}}, t));
    EXPECT_EQ(raw.Rows("select * from WlsSvrlist"),
              (Grid{{"Admin", "host", "7001", "HEALTH_OK", "RUNNING", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsjvmlist"),
              (Grid{{"Admin", "Oracle", "1.8", "1048576", "2097152", "4194304", "25%", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsthdlist"), (Grid{{"Admin", "20", "5", "150", "3", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsjdbclist"),
              (Grid{{"Admin", "pool'1", "4", "9", "10", "0", "Running", t}}));
    EXPECT_EQ(raw.Value(wlsRows), "4");
    EXPECT_EQ(Count("QueueList"), "2") << "the Tuxedo tables are left alone";
}

// Fault 3: every row its own commit could not keep up with a large domain.
// Each scan is one transaction and one RecTime group.
TEST_F(HistoryTest, OneScanIsOneTransaction)
{
    TuxQueueList queues;
    TuxServerList servers;
    for (int i = 0; i < 200; ++i)
    {
        queues.push_back(Queue(wxString::Format("Q%d", i), "0"));
        servers.push_back(Server(wxString::Format("S%d", i)));
    }
    const unsigned before = FileChangeCounter(SitePath());
    ASSERT_TRUE(m_site.RecordTuxScan(queues, servers, {Client("c")}, "2024-01-01 00:00:30"));
    EXPECT_EQ(FileChangeCounter(SitePath()), before + 1);
    ASSERT_TRUE(m_site.RecordTuxScan({Queue("a", "2")}, {Server("a"), Server("b")}, {},
                                     "2024-01-01 00:01:00"));
    EXPECT_EQ(FileChangeCounter(SitePath()), before + 2);
    EXPECT_EQ(RawDb(SitePath()).Rows("select RecTime, count(*) from (select RecTime from QueueList "
                                     "union all select RecTime from ServerList union all select "
                                     "RecTime from ClientList) group by RecTime order by RecTime"),
              (Grid{{"2024-01-01 00:00:30", "401"}, {"2024-01-01 00:01:00", "3"}}));
}

TEST_F(HistoryTest, SingleTableInsertsReturnTheLastRowsChange)
{
    const wxString t = "2024-01-01 00:00:00";
    EXPECT_EQ(m_site.InsertTuxQueues({Queue("a", "1"), Queue("b", "2")}, t), 1);
    EXPECT_EQ(m_site.InsertTuxServers({}, t), 0);
    EXPECT_EQ(m_site.InsertTuxClients({Client("c")}, t), 1);
    EXPECT_EQ(m_site.InsertWlsServers({{"s", "u", "1", "st", "h", "", "", 0}}, t), 1);
    EXPECT_EQ(m_site.InsertWlsJvms({{"s", "v", "1", "1", "2", "3", "4%", 0}}, t), 1);
    EXPECT_EQ(m_site.InsertWlsThreads({{"s", "1", "2", "3", "4", 0}}, t), 1);
    EXPECT_EQ(m_site.InsertWlsJdbc({{"s", "1", "2", "3", "", "", "0", "p", "ok", 0}}, t), 1);
    EXPECT_EQ(RawDb(SitePath()).Value("select group_concat(ProgName) from QueueList"), "a,b");
}

// Fault 7: a failing insert keeps monitoring alive: false, a message for the
// log, and nothing of the scan half-written.
TEST_F(HistoryTest, FailingInsertReturnsFalseWithLastErrorAndWritesNothing)
{
    RefuseInserts(SitePath(), "ClientList", "client refused");
    EXPECT_FALSE(m_site.RecordTuxScan({Queue("a", "1")}, {Server("a")}, {Client("c")}, "t1"));
    EXPECT_TRUE(m_site.LastError().Contains("client refused"));
    EXPECT_TRUE(m_site.LastError().Contains(SitePath()));
    EXPECT_EQ(m_site.InsertTuxClients({Client("c")}, "t"), 0);
    EXPECT_EQ(Count("QueueList"), "0");
    EXPECT_EQ(Count("ServerList"), "0");

    // The next scan records again once the cause is gone.
    RawDb(SitePath()).Exec("drop trigger refuse");
    EXPECT_TRUE(m_site.RecordTuxScan({Queue("a", "1")}, {}, {Client("c")}, "t2"));
    EXPECT_EQ(Count("ClientList"), "1");
}

// The scan thread records while the GUI thread saves the rule through the
// same access object.
TEST_F(HistoryTest, ScanThreadAndGuiThreadShareTheAccessObject)
{
    const int rounds = 40;
    std::thread scans(
        [&]
        {
            for (int i = 0; i < rounds; ++i)
                EXPECT_TRUE(m_site.RecordTuxScan({Queue("q", "1")}, {Server("s")}, {Client("c")},
                                                 wxString::Format("2024-01-01 00:00:%02d", i)));
        });
    for (int i = 0; i < rounds; ++i)
    {
        EXPECT_EQ(m_site.SaveTuxRule(TuxAlarmRule{"site", wxString::Format("%d", i), "", "", "", "",
                                                  "", ""}),
                  1);
        EXPECT_GE(m_site.LoadTuxRule("site"), 1);
    }
    scans.join();
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select count(distinct RecTime) from ServerList"),
              wxString::Format("%d", rounds));
    EXPECT_EQ(raw.Value("select SvrDied from TuxAlarmList"), wxString::Format("%d", rounds - 1));
}
