// The chart window on sites that no panel has open: a chart with its hover,
// zoom, pan and exports; a locked and a missing site database with their
// messages.
#include "history/chart_canvas.h"
#include "history/corvane_chart_frame.h"
#include "history/history_time.h"
#include "store/store_fixture.h"
#include "support/pump.h"

#include <wx/image.h>

#include <ctime>

namespace
{
class ChartWindowTest : public StoreTest
{
protected:
    void SetUp() override
    {
        DbAccess config;
        ASSERT_EQ(config.Open(ConfigPath(), DbAccess::ConfigDb), 1);
        ASSERT_EQ(config.InsertSite(SiteRecord{"Demo", "TUXEDO", "h", "1", "", "", "", "", "", "demo.db"}), 1);
        DbAccess site;
        ASSERT_EQ(site.Open(SitePath("demo.db"), DbAccess::SiteDb), 1);
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(site.RecordTuxScan(
                {}, {TuxServerRec{"PAYSVR", "Q", "7", "-", wxString::Format("%d", i * i), "1", "2", "IDLE", "1", 0}},
                {}, RecTimeAt(m_now - 3000 + i * 60)));
        m_prompts.Clear();
    }
    void TearDown() override
    {
        if (m_window)
            m_window->Destroy();
        PumpFor(10);
    }
    CorvaneChartFrame* Open(const ChartTarget& target)
    {
        m_window = OpenChartWindow(nullptr, target);
        EXPECT_TRUE(PumpUntil([this] { return !m_window->Loading(); }, 10000));
        PumpFor(50);
        return m_window;
    }
    const long long m_now = std::time(nullptr);
    wxWeakRef<CorvaneChartFrame> m_window;
};
} // namespace

TEST_F(ChartWindowTest, ChartsASiteNoPanelHasOpen)
{
    ChartCanvas* canvas = Open({"Demo", HistKind::TuxServer, "PAYSVR"})->Canvas();
    ASSERT_EQ(canvas->Plots().size(), 1u);
    EXPECT_EQ(canvas->Plots()[0].title, "PAYSVR: Requests done per minute");
    ASSERT_EQ(canvas->Plots()[0].series.at(0).points.size(), 29u);
    EXPECT_TRUE(canvas->Message().empty()) << canvas->Message();
    EXPECT_TRUE(m_window->StatusText().StartsWith("30 rows read.")) << m_window->StatusText();
    EXPECT_TRUE(m_window->FileInfoText().Contains("ServerList: 30 rows")) << m_window->FileInfoText();

    // The last sample (29 * 29 - 28 * 28 = 57 a minute) read out at its place.
    canvas->ResetView();
    canvas->ZoomAt(canvas->GetClientSize().x, 0.05);
    const wxRect plot(64, 24, canvas->GetClientSize().x - 78, canvas->GetClientSize().y - 54);
    wxString readout;
    for (int x = plot.GetRight(); x > plot.x && readout.empty(); x -= 2)
        for (int y = plot.y; y < plot.GetBottom() && readout.empty(); y += 4)
            readout = canvas->HoverAt(wxPoint(x, y));
    EXPECT_TRUE(readout.StartsWith("PAYSVR: Requests done per minute: 57 requests/min at " +
                                   LocalTimeText(m_now - 3000 + 29 * 60)))
        << readout;

    // Zoom stays inside the loaded hour and a pan moves the view, clamped.
    EXPECT_NEAR(canvas->ViewTo() - canvas->ViewFrom(), 86400 * 0.05, 1); // of the last 24 hours
    const double from = canvas->ViewFrom();
    canvas->PanBy(100);
    EXPECT_LT(canvas->ViewFrom(), from);
    canvas->ZoomAt(10, 1000);
    EXPECT_NEAR(canvas->ViewTo() - canvas->ViewFrom(), 86400, 1);

    m_prompts.ChooseFile(m_home.File("chart.png"));
    m_prompts.ChooseFile(m_home.File("chart.csv"));
    for (const char* label : {"PNG...", "CSV..."})
    {
        wxCommandEvent click(wxEVT_BUTTON);
        wxWindow::FindWindowByLabel(label, m_window)->GetEventHandler()->ProcessEvent(click);
    }
    EXPECT_TRUE(wxImage(m_home.File("chart.png")).IsOk());
    const std::string csv = ReadFileBytes(m_home.File("chart.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 30); // a header and 29 rates
}

TEST_F(ChartWindowTest, LockedAndMissingSiteDatabasesSaySo)
{
    HistoryReader::SetBusyTimeout(100);
    RawDb locker(SitePath("demo.db"));
    locker.Exec("begin exclusive; delete from ServerList;");
    EXPECT_TRUE(Open({"Demo"})->Canvas()->Message().Contains("is locked by another program"))
        << m_window->Canvas()->Message();
    EXPECT_TRUE(m_window->Canvas()->Plots().empty());
    locker.Exec("rollback;");
    m_window->Destroy();

    wxRemoveFile(SitePath("demo.db"));
    EXPECT_TRUE(Open({"Demo"})->Canvas()->Message().Contains("does not exist"));
    EXPECT_FALSE(m_home.Exists("demo.db"));
    HistoryReader::SetBusyTimeout(2000);
}
