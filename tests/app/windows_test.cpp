// Every window of the console as one table: the texts the operator reads on
// it, and every control shown whole under the running theme. A new dialog or
// field joins the table.
#include "alarm/corvane_action_dlg.h"
#include "alarm/corvane_wls_alarm_dlg.h"
#include "alarm/halvex_tux_alarm_dlg.h"
#include "app/halvex_about.h"
#include "app/halvex_frame.h"
#include "common/program_dir.h"
#include "common/virtual_report_list.h"
#include "dialogs/halvex_database_dlg.h"
#include "dialogs/halvex_new_site_dlg.h"
#include "dialogs/halvex_site_list_dlg.h"
#include "dialogs/metrics_dlg.h"
#include "history/corvane_chart_frame.h"
#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "support/test_site.h"
#include "support/window_checks.h"

#include <gtest/gtest.h>
#include <wx/toplevel.h>

#include <functional>

namespace
{
struct WindowCase
{
    const char* name;
    wxSize designed;
    // Opens the window, shown; returns the top-level window that holds it.
    std::function<wxTopLevelWindow*(HalvexFrame&)> open;
    const char* texts; // VisibleTexts
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << c.name;
}

wxTopLevelWindow* OpenPane(HalvexFrame& frame, const SiteRecord& site)
{
    if (!frame.OpenSite(site))
        return nullptr;
    return dynamic_cast<wxTopLevelWindow*>(
        wxGetTopLevelParent(frame.GetAuiManager().GetPane(HalvexFrame::PaneName(site)).window));
}

template <typename Dialog> wxTopLevelWindow* Shown(HalvexFrame& frame)
{
    auto* dialog = new Dialog(&frame);
    dialog->Show();
    return dialog;
}

const WindowCase Windows[] = {
    {"MainWindow",
     {800, 600},
     [](HalvexFrame& f) { return &f; },
     "Corvane|&File|Connect...|Alarms\tCtrl+L|Active alarms of the open sites|E&xit\tAlt+F4|"
     "Exit the application|&Settings|Database|Alarm|Metrics endpoint...|"
     "&Help|Contents\tF1|help content.|Web Resource...|Technical Support|Check for Update|"
     "Tuxedo Forums|WebLogic Forums|&About Corvane|Show info about this application|"
     "Quit|Quit Corvane.|Site list|Add a monitor site.|Alarm action setting|"
     "Setting for alarm action.|History chart|Charts of a site's recorded history.|"
     "Database setting|Setting for database."},
    {"ChartWindow",
     {1100, 720},
     [](HalvexFrame& f) -> wxTopLevelWindow*
     {
         CorvaneChartFrame* chart = OpenChartWindow(&f);
         PumpUntil([chart] { return !chart->Loading(); });
         return chart;
     },
     "History Chart|Site:|a-site-with-a-rather-long-name|Object:|WebLogic server|JDBC pool|"
     "Metrics:|Time range:|Last hour|Last 24 hours|Last 7 days|Custom|From:|To:|Show|PNG...|"
     "CSV...|History of this site|Keep for|days (0: all)|Apply|Compact file"},
    {"SiteEditor",
     {408, 345},
     Shown<HalvexNewSiteDlg>,
     "Create New Site|Agent Setting|Name(*):|Tuxedo|WebLogic|Agent IP:|Port:|Database:|"
     "WebLogic|WebLogicServer Version:|WebLogic 8.x|WebLogic 9.x|WebLogic 10.x|"
     "WebLogic Console Port:|WebLogic Console User:|WebLogic Console Pwd:|&Cancel|&OK"},
    {"SiteList",
     {524, 221},
     Shown<HalvexSiteListDlg>,
     "Monitor Sites List|SiteName|SiteType|SiteIP|SitePort|WlsPort|WlsUser|WlsVersion|Database|"
     "Delete db when delete site|Add|Modify|Delete|Connect"},
    {"DatabaseSetting", {284, 149}, Shown<HalvexDatabaseDlg>, "Database Setting|Database:|&OK"},
    {"MetricsEndpoint",
     {200, 100},
     [](HalvexFrame& frame) -> wxTopLevelWindow*
     {
         auto* dialog = new MetricsEndpointDlg(&frame, MetricsSettings());
         dialog->Show();
         return dialog;
     },
     "Metrics endpoint|Serve GET /metrics for Prometheus|Address:|Port:|"
     "127.0.0.1 serves this machine only; 0.0.0.0 serves the network.|&Cancel|&OK"},
    {"ActionSetting",
     {451, 305},
     Shown<CorvaneActionDlg>,
     "Action Setting|PlaySound Setting|SoundFile:|Find...|EMail Setting|SMTP Svr:|User:|Pwd:|"
     "Mail To(;):|Sender:|Allow plain-text login|CA File:|Send test mail|SMS Setting|"
     "SMS To(;):|&Cancel|&OK"},
    {"TuxedoAlarmRules",
     {451, 297},
     Shown<HalvexTuxAlarmDlg>,
     "Alarm Rules(Tuxedo)|For these happend(in one scan unit). Fill in Server Name in Blank.|"
     "Server Died.  |..|No Transaction LongTime.|...|Busy for Long Time.|...|When One Queued > |"
     "For these happend, do|Play a Sound|Email |SMS|Action Setting|"
     "Alarm lifecycle|Repeat notice every|minutes (0 = every scan)|Raise after|scans in a row|"
     "Clear after|scans in a row without it|Command per event|absolute path, empty = none|"
     "Notify when cleared (recovered mail)|&Cancel|&OK"},
    {"WebLogicAlarmRules",
     {451, 297},
     Shown<CorvaneWlsAlarmDlg>,
     "Alarm Rules(WebLogic)|For these happend(in one scan unit). Fill in Server Name in Blank.|"
     "Server unstable or Died.  |..|JVM FreeHeap low than %|...|Idle Thread low than %|...|"
     "Idle JDBC low than %|For these happend, do|Play a Sound|Email |SMS|ThreadDump!|"
     "Action Setting|"
     "Alarm lifecycle|Repeat notice every|minutes (0 = every scan)|Raise after|scans in a row|"
     "Clear after|scans in a row without it|Command per event|absolute path, empty = none|"
     "Notify when cleared (recovered mail)|&Cancel|&OK"},
    {"About",
     {311, 254},
     Shown<HalvexAbout>,
     "About Corvane...|Corvane - Version 3.3.0.9|"
     "Watching Tuxedo and WebLogic domains, one site at a time.|https://corvane.org/|&OK"},
    {"TuxedoPanel",
     {800, 550},
     [](HalvexFrame& f) { return OpenPane(f, TestSite("tux", "TUXEDO")); },
     "Tuxedo Monitor [ tux ] @ 127.0.0.1:9|Tux Version:|System Boot:|Last Update:|Run Server:|"
     "Run  Queue:|Run Client:|OS Version:|CPU   Idle:|MEM   Free:|Agent  Ver:|Alarm Set|"
     "Record to Database!|Start|Interval(S):|Logs|Clear|Servers:|All Servers|Idle Servers|"
     "Busy Servers|Only Show(';')|Apply|Prog Name|Queue Name|Process ID|RqDone|SvrMin|SvrMax|"
     "CurrentService|Memory Use|Queues:|All Queues|Idle Queues|Busy Queues|Only Show(';')|Apply|"
     "Prog Name|IPCS QueueID|Server Count|Queued|Clients:|Client Name|Client PID|Client Addr|"
     "Client Status|Connection Time"},
    {"WebLogicPanel",
     {800, 550},
     [](HalvexFrame& f) { return OpenPane(f, TestSite("wls", "WEBLOGIC")); },
     "WebLogic Monitor [ wls ] @ 127.0.0.1:9|Wls Version:|System Boot:|Last Update:|Server Nums:|"
     "Domain Name:|AdminServer:|Admin   JDK:|Admin    OS:|Productions:|Agent  Ver:|Alarm Set|"
     "Record to Database!|Start|Interval(S):|Logs|Clear|Servers:|Server Name|URL|Port|Health|"
     "State|JVM List:|Server Name|JVM Vendor|JVM Version|Free Heap|Current Heap|HeapSizeMax|"
     "FreePercent|Thread List:|Server Name|Total Count|Idle Count|Throughput|QueueLength|"
     "JDBC Pool List:|Server Name|JDBC Name|Active Current|Active High|CurrCapacity|Leak Count|"
     "State"},
};

struct WindowTest : ::testing::TestWithParam<WindowCase>
{
    TempHome home;
    PromptRecorder prompts;
    HalvexFrame* frame = new HalvexFrame(nullptr);

    WindowTest()
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        db.InsertSite(TestSite("a-site-with-a-rather-long-name", "WEBLOGIC"));
        frame->Show();
    }
    ~WindowTest() override
    {
        frame->Destroy();
        PumpFor(20);
    }
};
} // namespace

// Regression: at its designed 524 x 221 the site list showed only a sliver of
// "Connect" under GTK's default theme; every window now grows to show its
// controls whole.
TEST_P(WindowTest, ShowsItsTextsAndEveryControlWhole)
{
    wxTopLevelWindow* window = GetParam().open(*frame);
    ASSERT_NE(window, nullptr);
    PumpFor(100);
    EXPECT_EQ(VisibleTexts(window), GetParam().texts);
    for (const std::string& line : ClippedControls(window))
        ADD_FAILURE() << line;
    EXPECT_GE(window->GetSize().x, GetParam().designed.x);
    EXPECT_GE(window->GetSize().y, GetParam().designed.y);
    if (window != frame)
        window->Destroy();
}

INSTANTIATE_TEST_SUITE_P(Console, WindowTest, ::testing::ValuesIn(Windows),
                         [](const auto& info) { return std::string(info.param.name); });

// Regression: report columns were sized by their longest text, so a shorter
// text of wider letters was cut off.
TEST(ReportList, ColumnsFitTheirWidestDrawnText)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "lists");
    auto* list = new VirtualReportList(frame, wxID_ANY);
    list->InsertColumn(0, "N");
    const wxString texts[] = {"iiiiiiiiiiiiiiii", "WWWWWWWW"};
    list->SetSource([&](long row, long) -> const wxString& { return texts[row]; },
                    [](long) { return false; });
    list->ShowRows(2);
    EXPECT_GE(list->GetColumnWidth(0), list->GetTextExtent(texts[1]).x);
    EXPECT_GT(list->GetTextExtent(texts[1]).x, list->GetTextExtent(texts[0]).x + 16);
    frame->Destroy();
}
