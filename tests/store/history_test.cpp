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

class HistoryTest : public StoreTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_db.Open(SitePath(), DbAccess::SiteDb), 1);
        m_prompts.Clear();
    }
    void TearDown() override { EXPECT_TRUE(m_prompts.Messages().empty()) << "history shows no box"; }
    DbAccess m_db;
};

using Rows = std::vector<std::vector<wxString>>;
} // namespace

TEST_F(HistoryTest, TuxedoScanLandsInTheDesignedColumns)
{
    const TuxQueueList queues = {Queue("SVR'A", "3"), Queue("100%", "N/A")};
    ASSERT_TRUE(m_db.RecordTuxScan(queues, {Server("S\\1")}, {Client("clïent")},
                                   "2024-05-06 07:08:09"));
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Rows("select ProgName, Queued, typeof(Queued), SvrCnt, typeof(SvrCnt), "
                       "IPCSID, RecTime from QueueList order by rowid"),
              (Rows{{"SVR'A", "3", "integer", "2", "integer", "IPCSVR'A", "2024-05-06 07:08:09"},
                    {"100%", "N/A", "text", "2", "integer", "IPC100%", "2024-05-06 07:08:09"}}));
    EXPECT_EQ(raw.Rows("select * from ServerList"),
              (Rows{{"S\\1", "1024", "IDLE", "1", "5", "17", "4242", "QS\\1",
                     "2024-05-06 07:08:09"}}));
    EXPECT_EQ(raw.Rows("select * from ClientList"),
              (Rows{{"00:10:00", "IDLE", "//10.1.1.1:5000", "999", "clïent",
                     "2024-05-06 07:08:09"}}));
    EXPECT_EQ(raw.Value("select (select count(*) from WlsSvrlist) + (select count(*) from "
                        "wlsjvmlist) + (select count(*) from wlsthdlist) + (select count(*) "
                        "from wlsjdbclist)"),
              "0");
}

TEST_F(HistoryTest, WebLogicScanLandsInTheDesignedColumns)
{
    const WlsServerList servers = {{"Admin", "host", "7001", "RUNNING", "HEALTH_OK", "", "", 0}};
    const WlsJvmList jvms = {{"Admin", "Oracle", "1.8", "1048576", "2097152", "4194304", "25%", 0}};
    const WlsThreadList threads = {{"Admin", "20", "5", "3", "150", 0}};
    const WlsJdbcList pools = {{"Admin", "4", "9", "10", "", "", "0", "pool'1", "Running", 0}};
    ASSERT_TRUE(m_db.RecordWlsScan(servers, jvms, threads, pools, "2024-05-06 07:08:09"));
    RawDb raw(SitePath());
    const wxString t = "2024-05-06 07:08:09";
    EXPECT_EQ(raw.Rows("select * from WlsSvrlist"),
              (Rows{{"Admin", "host", "7001", "HEALTH_OK", "RUNNING", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsjvmlist"),
              (Rows{{"Admin", "Oracle", "1.8", "1048576", "2097152", "4194304", "25%", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsthdlist"), (Rows{{"Admin", "20", "5", "150", "3", t}}));
    EXPECT_EQ(raw.Rows("select * from wlsjdbclist"),
              (Rows{{"Admin", "pool'1", "4", "9", "10", "0", "Running", t}}));
    EXPECT_EQ(raw.Value("select (select count(*) from QueueList) + (select count(*) from "
                        "ServerList) + (select count(*) from ClientList)"),
              "0");
}

// Every row its own commit could not keep up with a large domain.
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
    ASSERT_TRUE(m_db.RecordTuxScan(queues, servers, {Client("c")}, "2024-01-01 00:00:00"));
    EXPECT_EQ(FileChangeCounter(SitePath()), before + 1);
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select count(*) from QueueList"), "200");
    EXPECT_EQ(raw.Value("select count(*) from ServerList"), "200");
}

TEST_F(HistoryTest, TwoScansGiveTwoRecTimeGroups)
{
    ASSERT_TRUE(m_db.RecordTuxScan({Queue("a", "1")}, {Server("a"), Server("b")}, {Client("c")},
                                   "2024-01-01 00:00:30"));
    ASSERT_TRUE(m_db.RecordTuxScan({Queue("a", "2")}, {Server("a"), Server("b")}, {},
                                   "2024-01-01 00:01:00"));
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Rows("select RecTime, count(*) from (select RecTime from QueueList union all "
                       "select RecTime from ServerList union all select RecTime from "
                       "ClientList) group by RecTime order by RecTime"),
              (Rows{{"2024-01-01 00:00:30", "4"}, {"2024-01-01 00:01:00", "3"}}));
}

TEST_F(HistoryTest, SingleTableInsertsReturnTheLastRowsChange)
{
    const wxString t = "2024-01-01 00:00:00";
    EXPECT_EQ(m_db.InsertTuxQueues({Queue("a", "1"), Queue("b", "2")}, t), 1);
    EXPECT_EQ(m_db.InsertTuxServers({}, t), 0);
    EXPECT_EQ(m_db.InsertTuxClients({Client("c")}, t), 1);
    EXPECT_EQ(m_db.InsertWlsServers({{"s", "u", "1", "st", "h", "", "", 0}}, t), 1);
    EXPECT_EQ(m_db.InsertWlsJvms({{"s", "v", "1", "1", "2", "3", "4%", 0}}, t), 1);
    EXPECT_EQ(m_db.InsertWlsThreads({{"s", "1", "2", "3", "4", 0}}, t), 1);
    EXPECT_EQ(m_db.InsertWlsJdbc({{"s", "1", "2", "3", "", "", "0", "p", "ok", 0}}, t), 1);
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select group_concat(ProgName) from QueueList"), "a,b");
}

// A failing insert keeps monitoring alive: false, a message for the log, and
// nothing of the scan half-written.
TEST_F(HistoryTest, FailingInsertReturnsFalseWithLastErrorAndWritesNothing)
{
    {
        RawDb raw(SitePath());
        raw.Exec("create trigger refuse before insert on ClientList "
                 "begin select raise(abort, 'client refused'); end");
    }
    EXPECT_FALSE(m_db.RecordTuxScan({Queue("a", "1")}, {Server("a")}, {Client("c")},
                                    "2024-01-01 00:00:00"));
    EXPECT_NE(m_db.LastError().Find("client refused"), wxNOT_FOUND);
    EXPECT_NE(m_db.LastError().Find(SitePath()), wxNOT_FOUND);
    EXPECT_EQ(m_db.InsertTuxClients({Client("c")}, "t"), 0);

    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select count(*) from QueueList"), "0");
    EXPECT_EQ(raw.Value("select count(*) from ServerList"), "0");

    // The next scan records again once the cause is gone.
    raw.Exec("drop trigger refuse");
    EXPECT_TRUE(m_db.RecordTuxScan({Queue("a", "1")}, {}, {Client("c")}, "t2"));
    EXPECT_EQ(raw.Value("select count(*) from ClientList"), "1");
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
                EXPECT_TRUE(m_db.RecordTuxScan({Queue("q", "1")}, {Server("s")}, {Client("c")},
                                               wxString::Format("2024-01-01 00:00:%02d", i)));
        });
    for (int i = 0; i < rounds; ++i)
    {
        EXPECT_EQ(m_db.SaveTuxRule(TuxAlarmRule{"site", wxString::Format("%d", i), "", "", "", "",
                                                "", ""}),
                  1);
        EXPECT_GE(m_db.LoadTuxRule("site"), 1);
    }
    scans.join();
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select count(distinct RecTime) from ServerList"),
              wxString::Format("%d", rounds));
    EXPECT_EQ(raw.Value("select SvrDied from TuxAlarmList"), wxString::Format("%d", rounds - 1));
}
