// Reading Tuxedo reports: filters, threshold marks, the sort order, where
// each attribute lands, and what is refused.
#include "tuxedo/tux_monitor_model.h"

#include "common/text.h"
#include "support/log_capture.h"
#include "tux_report_gen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::string Report(const std::string& children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR Date=\"D1\">" + children + "</MONITOR>";
}

std::string Server(const std::string& name, const std::string& rq, const std::string& svc,
                   const std::string& pid = "100")
{
    return "<SERVER Server=\"" + name + "\" Queueid=\"Q\" ProcessID=\"" + pid + "\" RqDone=\"" +
           rq + "\" CurrSvc=\"" + svc + "\" SvrMin=\"1\" SvrMax=\"2\" UseMem=\"10K\"/>";
}

std::string Queue(const std::string& name, const std::string& queued)
{
    return "<QUEUE Server=\"" + name + "\" Queueid=\"77\" SrvCnt=\"1\" Queued=\"" + queued + "\"/>";
}

std::string Fields(std::initializer_list<const wxString*> fields)
{
    std::string out;
    for (const wxString* f : fields)
        out += f->utf8_string() + "|";
    return out;
}

// "name/flags" for each record, in array order.
template <class List>
std::string Summary(const List& records)
{
    std::string out;
    for (const auto& r : records)
        out += (out.empty() ? "" : " ") + r.ProgName.utf8_string() + "/" + std::to_string(r.Flags);
    return out;
}

struct ParseCase
{
    const char* name;
    std::string report;
    TuxFilter filter;
    const char* queuedThreshold;
    const char* servers;     // Summary of the servers after the parse
    const char* queues = ""; // and of the queues
};

TuxFilter Filter(int serverKind, int queueKind, const char* servers = "*", const char* queues = "*")
{
    return TuxFilter{servers, queues, serverKind, queueKind};
}

const std::string NoCurrSvc = Report("<SERVER Server=\"A\" ProcessID=\"1\" RqDone=\"1\"/>");
const std::string TwoQueues = Report(Queue("Q0", "0") + Queue("Q1", "1"));
const std::string IdleAndBusy = Report(Server("A", "1", "IDLE") + Server("B", "2", "SVC_X"));

const ParseCase kCases[] = {
    // a missing CurrSvc reads "N/A": neither idle nor, for the filter, hidden when busy
    {"MissingCurrSvcAllKinds", NoCurrSvc, Filter(0, 0), "", "A/1"},
    {"MissingCurrSvcIdleOnly", NoCurrSvc, Filter(1, 0), "", "A/0"},
    {"MissingCurrSvcBusyOnly", NoCurrSvc, Filter(2, 0), "", "A/1"},
    // a queue above the threshold is marked 0x10 on top of its filter bit
    {"QueueThreshold", Report(Queue("Q6", "6") + Queue("Q5", "5")), {}, "5", "", "Q5/1 Q6/17"},
    // an empty threshold counts as 0
    {"EmptyThresholdMarksAnyWaiting", TwoQueues, {}, "", "", "Q0/1 Q1/17"},
    {"IdleQueuesOnly", TwoQueues, Filter(0, 1), "99", "", "Q0/1 Q1/0"},
    {"BusyQueuesOnly", TwoQueues, Filter(0, 2), "99", "", "Q0/0 Q1/1"},
    {"IdleServersOnly", IdleAndBusy, Filter(1, 0), "", "A/1 B/0"},
    {"BusyServersOnly", IdleAndBusy, Filter(2, 0), "", "A/0 B/1"},
    {"AscendingRqDone", Report(Server("TEN", "10", "IDLE") + Server("NINE", "9", "IDLE")), {}, "",
     "NINE/1 TEN/1"},
    // the 16-bit key wraps: 40000 is negative
    {"SixteenBitKeyWraps", Report(Server("BIG", "40000", "IDLE") + Server("TEN", "10", "IDLE")), {},
     "", "BIG/1 TEN/1"},
    // equal keys stay in document order (fault 8: one stable sort)
    {"StableForEqualKeys",
     Report(Server("A", "5", "X") + Server("B", "3", "X") + Server("C", "5", "X") +
            Server("D", "3", "X") + Server("E", "N/A", "X")),
     {}, "", "E/1 B/1 D/1 A/1 C/1"},
    // a name filter overrides the kind selection; SVR is a substring of the filter
    {"NameFilterOverridesKind",
     Report(Server("SVRA", "1", "SVC") + Server("SVR", "2", "IDLE") + Server("SVRC", "3", "IDLE")),
     Filter(1, 0, "SVRA;SVRB"), "", "SVRA/1 SVR/1 SVRC/0"},
    {"EmptyNameFilterHidesAll", Report(Server("A", "1", "IDLE") + Queue("Q", "0")), Filter(0, 0, "", ""),
     "9", "A/0", "Q/0"},
    // element order in the document does not matter; unknown and nested elements are skipped
    {"AnyElementOrder",
     Report("<SYSTEM SvrCnt=\"1\"/><FOO/>" + Queue("Q", "0") + "<INITBUF/>" + "<X>" +
            Server("NESTED", "1", "IDLE") + "</X>text" + Server("A", "1", "IDLE")),
     {}, "9", "A/1", "Q/1"},
};

class ParseTable : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseTable, Parses)
{
    const ParseCase& c = GetParam();
    TuxMonitorModel model;
    model.SetFilter(c.filter);
    TuxAlarmRule rule;
    rule.Queued = c.queuedThreshold;
    model.SetRule(rule);
    EXPECT_EQ(model.ParseTuxReport(c.report), 1);
    EXPECT_EQ(Summary(model.Servers()), c.servers);
    EXPECT_EQ(Summary(model.Queues()), c.queues);
}

INSTANTIATE_TEST_SUITE_P(TuxReport, ParseTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
} // namespace

TEST(TuxReport, MissingAttributesReadNotAvailable)
{
    TuxMonitorModel model;
    ASSERT_EQ(model.ParseTuxReport("<MONITOR><SERVER/><QUEUE/><CLIENT/><SYSTEM/><ERROR/>"
                                   "<INITBUF/></MONITOR>"),
              1);
    const TuxServerRec& s = model.Servers().at(0);
    EXPECT_EQ(Fields({&s.ProgName, &s.QueueName, &s.ProcessID, &s.Spare, &s.RqDone, &s.SvrMin,
                      &s.SvrMax, &s.CurrSvc, &s.UseMem}),
              "N/A|N/A|N/A||N/A|N/A|N/A|N/A|N/A|");
    EXPECT_EQ(Fields({&model.Queues().at(0).Queued, &model.Clients().at(0).ConTime,
                      &model.System().CoreFind, &model.System().Reason, &model.Counts().CltCnt,
                      &model.Init().AgentVersion, &model.LastUpdate()}),
              "N/A|N/A|N/A|N/A|N/A|N/A|N/A|");
}

TEST(TuxReport, FieldsLandInTheirPlaces)
{
    TuxMonitorModel model;
    ASSERT_EQ(model.ParseTuxReport(
                  "<MONITOR Date=\"2026-03-01\">"
                  "<SERVER Server=\"P\" Queueid=\"QN\" ProcessID=\"42\" RqDone=\"7\" "
                  "CurrSvc=\"S\" SvrMin=\"1\" SvrMax=\"3\" UseMem=\"9K\"/>"
                  "<QUEUE Server=\"P\" Queueid=\"65537\" SrvCnt=\"2\" Queued=\"0\"/>"
                  "<CLIENT Name=\"c\" ClientPID=\"5\" ClientAddr=\"//h:1\" Status=\"IDLE\" "
                  "ConTime=\"60\"/>"
                  "<SYSTEM CoreFind=\"core.1\" ErrorFind=\"e\" WarnFind=\"w\" LargeFile=\"l\" "
                  "FreeMem=\"fm\" IdleCPU=\"97\" SvrCnt=\"1\" QueCnt=\"2\" CltCnt=\"3\"/>"
                  "<INITBUF TuxVersion=\"tv\" OSVersion=\"os\" TuxBootAt=\"boot\" "
                  "AgentVersion=\"av\"/></MONITOR>"),
              1);
    const TuxServerRec& s = model.Servers().at(0);
    EXPECT_EQ(Fields({&s.ProgName, &s.QueueName, &s.ProcessID, &s.Spare, &s.RqDone, &s.SvrMin,
                      &s.SvrMax, &s.CurrSvc, &s.UseMem}),
              "P|QN|42||7|1|3|S|9K|");
    const TuxQueueRec& q = model.Queues().at(0);
    EXPECT_EQ(Fields({&q.ProgName, &q.Queueid, &q.SrvCnt, &q.Queued}), "P|65537|2|0|");
    const TuxClientRec& c = model.Clients().at(0);
    EXPECT_EQ(Fields({&c.Name, &c.ClientPID, &c.ClientAddr, &c.ConTime, &c.Status}), "c|5|//h:1|60|IDLE|");
    const TuxSystemRec& y = model.System();
    EXPECT_EQ(Fields({&y.CoreFind, &y.ErrorFind, &y.WarnFind, &y.LargeFile, &y.FreeMem, &y.IdleCPU}),
              "core.1|e|w|l|fm|97|");
    EXPECT_EQ(Fields({&model.Counts().SvrCnt, &model.Counts().QueCnt, &model.Counts().CltCnt}), "1|2|3|");
    const TuxInitRec& i = model.Init();
    EXPECT_EQ(Fields({&i.TuxVersion, &i.OSVersion, &i.TuxBootAt, &i.AgentVersion}), "tv|os|boot|av|");
    EXPECT_EQ(model.LastUpdate(), "2026-03-01");
}

TEST(TuxReport, SiteValuesPersistAcrossReportsThatLackThem)
{
    TuxMonitorModel model;
    ASSERT_EQ(model.ParseTuxReport(MakeTuxReport({})), 1);
    EXPECT_EQ(model.Servers().size(), 20u);
    EXPECT_EQ(model.Clients().size(), 50u);
    const wxString version = model.Init().TuxVersion;
    const wxString freeMem = model.System().FreeMem;
    ASSERT_EQ(model.ParseTuxReport("<MONITOR Date=\"later\"/>"), 1);
    EXPECT_TRUE(model.Servers().empty());
    EXPECT_TRUE(model.Queues().empty());
    EXPECT_TRUE(model.Clients().empty());
    EXPECT_EQ(model.Init().TuxVersion, version);
    EXPECT_EQ(model.System().FreeMem, freeMem);
    EXPECT_EQ(model.Counts().SvrCnt, "20");
    EXPECT_EQ(model.LastUpdate(), "later");
}

// Anything but one well-formed MONITOR document is refused, changes nothing
// and leaves the reader's line in the log (a wrong root name is no XML error).
TEST(TuxReport, RejectedReportChangesNothing)
{
    TuxMonitorModel model;
    ASSERT_EQ(model.ParseTuxReport(MakeTuxReport({})), 1);
    const TuxServerList servers = model.Servers();
    const wxString date = model.LastUpdate();
    const std::string one = Report(Server("A", "1", "IDLE"));
    const std::string mismatch = "XML parsing error: 'Start-end tags mismatch' at line 1";
    const std::pair<std::string, std::string> cases[] = {
        {"", "XML parsing error: 'No document element found' at line 1"},
        {"this is not xml", "XML parsing error: 'Text outside the root element' at line 1"},
        {"<MONITOR>", mismatch},
        {"<MONITOR><SERVER></MONITOR>", mismatch},
        {one.substr(0, 90), "XML parsing error: 'Error parsing element attribute' at line 1"},
        {"<monitor/>", ""}, // names are compared case-sensitively
        {"<REPORT/>", ""},
        // Regression: two replies run together were read as one report.
        {one + "\n" + one, "XML parsing error: 'More than one root element' at line 2"},
        {"<MONITOR/>\n\njunk", "XML parsing error: 'Text outside the root element' at line 3"},
    };
    LogCapture log;
    for (const auto& [bad, line] : cases)
    {
        EXPECT_EQ(model.ParseTuxReport(bad), -1) << bad;
        std::string copy = bad;
        EXPECT_EQ(model.ParseTuxReportInPlace(copy), -1) << bad;
        EXPECT_EQ(model.Servers().size(), servers.size());
        EXPECT_EQ(model.Servers().front().ProcessID, servers.front().ProcessID);
        EXPECT_EQ(model.LastUpdate(), date);
        const std::vector<std::string> expected =
            line.empty() ? std::vector<std::string>{} : std::vector<std::string>{line, line};
        EXPECT_EQ(log.Take(), expected) << bad;
    }
}

// Regression (found by fuzzing): a NUL byte is no part of XML. The copying
// reader stopped at it and took the text before it for the whole report
// while the in-place one, which the panel uses, refused some such replies:
// both now refuse every reply with a NUL byte, as the WebLogic reader does.
TEST(TuxReport, NulByteIsRefusedByBothReaders)
{
    const std::string good = Report(Server("A", "1", "IDLE"));
    const std::string nul(1, '\0');
    for (const std::string& bad : {good + nul + "<", good + nul, "<MONITOR/>" + nul + "junk",
                                   good.substr(0, 60) + nul + good.substr(60)})
    {
        TuxMonitorModel copying;
        EXPECT_EQ(copying.ParseTuxReport(bad), -1) << bad.size();
        EXPECT_TRUE(copying.Servers().empty());
        EXPECT_TRUE(copying.LastUpdate().empty());
        TuxMonitorModel inPlace;
        std::string reply = bad;
        EXPECT_EQ(inPlace.ParseTuxReportInPlace(reply), -1) << bad.size();
        EXPECT_TRUE(inPlace.Servers().empty());
    }
}

TEST(TuxReport, OddBytesAndEscapesInAttributes)
{
    TuxMonitorModel model;
    // invalid UTF-8, an escaped ampersand and quote, and real UTF-8
    const std::string report = "<MONITOR><SERVER Server=\"bad\xff\xfe\" CurrSvc=\"a&amp;b&quot;\"/>"
                               "<CLIENT Name=\"caf\xc3\xa9\"/></MONITOR>";
    ASSERT_EQ(model.ParseTuxReport(report), 1);
    EXPECT_EQ(model.Servers().at(0).ProgName.length(), 5u);
    EXPECT_EQ(model.Servers().at(0).CurrSvc, "a&b\"");
    EXPECT_EQ(model.Clients().at(0).Name, wxString::FromUTF8("caf\xc3\xa9"));
}

TEST(TuxReport, HugeValuesAndLargeReports)
{
    TuxMonitorModel model;
    const std::string huge(1 << 20, '9');
    ASSERT_EQ(model.ParseTuxReport("<MONITOR>" + Server("A", huge, "IDLE") +
                                   Server("B", "-99999999999999999999", "IDLE") + "</MONITOR>"),
              1);
    EXPECT_EQ(model.Servers().size(), 2u);

    TuxReportShape big;
    big.servers = 20000;
    big.queues = 10000;
    big.clients = 70000;
    ASSERT_EQ(model.ParseTuxReport(MakeTuxReport(big)), 1);
    EXPECT_EQ(model.Servers().size(), 20000u);
    EXPECT_EQ(model.Clients().size(), 70000u);
    for (size_t i = 1; i < model.Servers().size(); ++i)
        ASSERT_LE(static_cast<int16_t>(AtoiText(model.Servers()[i - 1].RqDone)),
                  static_cast<int16_t>(AtoiText(model.Servers()[i].RqDone)));
}

TEST(TuxReport, DeepNestingIsHarmless)
{
    std::string deep = "<MONITOR>";
    for (int i = 0; i < 100000; ++i)
        deep += "<X>";
    for (int i = 0; i < 100000; ++i)
        deep += "</X>";
    deep += "</MONITOR>";
    TuxMonitorModel model;
    EXPECT_EQ(model.ParseTuxReport(deep), 1);
    EXPECT_EQ(model.ParseTuxReport(deep.substr(0, deep.size() / 2)), -1);
}

// Fault 8: the array is sorted once, stably; reusing the storage between
// reports must not leak values from the previous report into shorter ones.
TEST(TuxReport, ReusedStorageHoldsOnlyTheNewReport)
{
    TuxMonitorModel model;
    TuxReportShape shape;
    shape.servers = 300;
    ASSERT_EQ(model.ParseTuxReport(MakeTuxReport(shape)), 1);
    ASSERT_EQ(model.ParseTuxReport(Report(Server("ONLY", "3", "IDLE", "9"))), 1);
    ASSERT_EQ(model.Servers().size(), 1u);
    EXPECT_EQ(model.Servers()[0].ProgName, "ONLY");
    EXPECT_EQ(model.Servers()[0].ProcessID, "9");
}
