#include "app/halvex_about.h"
#include "app/halvex_frame.h"
#include "common/ids.h"
#include "common/launcher.h"
#include "common/program_dir.h"
#include "dialogs/halvex_database_dlg.h"
#include "headless/http_get.h"
#include "metrics/settings_endpoint.h"
#include "history/corvane_chart_frame.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "support/test_site.h"

#include <gtest/gtest.h>
#include <wx/aui/dockart.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dir.h>
#include <wx/menu.h>
#include <wx/toolbar.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include <future>

namespace
{
// The main window, driven through its menus and tools by their labels, so
// that each command is reached the way the operator reaches it.
struct FrameTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
    wxWeakRef<HalvexFrame> frame = new HalvexFrame(nullptr);
    std::vector<std::pair<LaunchKind, wxString>> launched;
    LaunchHandler previousLauncher;

    FrameTest()
    {
        previousLauncher = SetLaunchHandler([this](LaunchKind kind, const wxString& target)
                                            { launched.emplace_back(kind, target); });
    }
    ~FrameTest() override
    {
        SetLaunchHandler(previousLauncher);
        if (frame)
            frame->Destroy();
        PumpFor(20);
    }

    void Menu(const wxString& menu, const wxString& item)
    {
        const int id = frame->GetMenuBar()->FindMenuItem(menu, item);
        ASSERT_NE(id, wxNOT_FOUND) << item;
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame.get());
        frame->ProcessWindowEvent(event);
    }
    // A tool by its tooltip, or an id that has no tool.
    void Tool(const wxString& shortHelp, int id = wxID_NONE)
    {
        for (size_t i = 0; i < frame->GetToolBar()->GetToolsCount(); ++i)
        {
            const wxToolBarToolBase* tool = frame->GetToolBar()->GetToolByPos(int(i));
            if (!tool->IsSeparator() && tool->GetShortHelp() == shortHelp)
                id = tool->GetId();
        }
        ASSERT_NE(id, wxID_NONE) << shortHelp;
        wxCommandEvent event(wxEVT_TOOL, id);
        event.SetEventObject(frame->GetToolBar());
        frame->ProcessWindowEvent(event);
    }
    bool ClosedAfterPump()
    {
        return PumpUntil([this] { return !frame; }, 2000);
    }

    std::vector<wxString> SitePanes()
    {
        std::vector<wxString> names;
        wxAuiPaneInfoArray& panes = frame->GetAuiManager().GetAllPanes();
        for (size_t i = 0; i < panes.GetCount(); ++i)
            if (panes[i].name != "tb" && panes[i].name != "alarms")
                names.push_back(panes[i].name);
        return names;
    }
    template <typename T> std::vector<T*> TopLevel()
    {
        std::vector<T*> found;
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* t = dynamic_cast<T*>(w); t && !t->IsBeingDeleted())
                found.push_back(t);
        return found;
    }
};

// Pixels of rect darker than mid grey.
int DarkPixels(const wxImage& image, const wxRect& rect)
{
    int dark = 0;
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
        for (int x = rect.GetLeft(); x <= rect.GetRight(); ++x)
            dark += image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) < 3 * 96;
    return dark;
}
} // namespace

TEST_F(FrameTest, RangeHandlerAnswersTheEmailIdAndTheChartToolOpensItsWindow)
{
    Tool("", CorvaneId::ToolEmail);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].text, "EMAIL Not Support Now.");
    EXPECT_EQ(prompts.Messages()[0].caption, "Message");
    EXPECT_EQ(prompts.Messages()[0].parent, nullptr);
    Tool("History chart");
    const std::vector<CorvaneChartFrame*> charts = TopLevel<CorvaneChartFrame>();
    ASSERT_EQ(charts.size(), 1u);
    EXPECT_TRUE(charts[0]->IsShown());
    EXPECT_EQ(prompts.Messages().size(), 1u);
}

// Yes closes, and Exit asks nothing: the end-to-end tests show both.
TEST_F(FrameTest, QuitAsksTheFrameAndNoKeepsIt)
{
    prompts.Answer(wxNO);
    Tool("Quit");
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].text, "Are you sure you want to Quit Corvane?");
    EXPECT_EQ(prompts.Messages()[0].caption, "Corvane");
    EXPECT_EQ(prompts.Messages()[0].parent, frame.get());
    EXPECT_FALSE(ClosedAfterPump());
}

TEST_F(FrameTest, StartUpTouchesNoDatabase)
{
    PumpFor(50);
    wxArrayString files;
    wxDir::GetAllFiles(home.Dir(), &files);
    EXPECT_TRUE(files.empty());
}

// Regression: the toolbar pane had a close button that asked "stop monitoring
// and close this site?" and, on Yes, took Quit away for good; once floated it
// could never dock again.
TEST_F(FrameTest, ToolbarCannotBeClosedAndDocksBackAtTheTop)
{
    frame->Show();
    wxAuiManager& aui = frame->GetAuiManager();
    EXPECT_FALSE(aui.GetPane("tb").HasCloseButton());
    EXPECT_TRUE(aui.GetPane("tb").IsTopDockable());
    aui.GetPane("tb").Float();
    aui.Update();
    wxWindow* floating = wxGetTopLevelParent(frame->GetToolBar());
    ASSERT_NE(floating, frame.get());
    prompts.Answer(wxYES);
    floating->Close(); // as the window manager would
    PumpFor(50);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(aui.GetPane("tb").IsShown());
    EXPECT_TRUE(frame->GetToolBar()->IsShownOnScreen());
}

// Regression: the docking manager paints the frame's client area itself and
// never lets the paint event reach the frame, so the background text of the
// frame's own paint handler was never seen. The manager's background
// painting draws it, within the part being painted.
TEST_F(FrameTest, FreeBackgroundShowsTheTextLines)
{
    const wxRect whole(0, 0, 400, 200);
    auto paint = [&](const wxRect& part)
    {
        wxBitmap bitmap(whole.GetSize());
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            frame->GetAuiManager().GetArtProvider()->DrawBackground(dc, frame.get(), wxHORIZONTAL,
                                                                    part);
        }
        return bitmap.ConvertToImage();
    };
    const wxRect lines(40, 60, 300, 40);
    const wxImage free = paint(whole);
    EXPECT_GT(DarkPixels(free, lines), 50);
    EXPECT_EQ(DarkPixels(free, wxRect(0, 120, 400, 80)), 0);
    // A dock strip above the lines does not get them.
    EXPECT_EQ(DarkPixels(paint(wxRect(0, 0, 400, 40)), lines), 0);
}

TEST_F(FrameTest, ASiteOpensOnceAndTwoSitesAtOneAddressOpenTwice)
{
    // Floating panes of the right kind, destroyed on close, and the notices
    // of new databases are shown end to end.
    const SiteRecord tux = TestSite("t1", "TUXEDO");
    EXPECT_TRUE(frame->OpenSite(tux));
    prompts.Clear();
    EXPECT_FALSE(frame->OpenSite(tux));
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{"This site is already connected!"});
    EXPECT_EQ(prompts.Messages()[0].parent, nullptr);

    prompts.Clear();
    EXPECT_TRUE(frame->OpenSite(TestSite("t2", "TUXEDO"))); // same address, another name
    EXPECT_TRUE(frame->OpenSite(TestSite("w1", "WEBLOGIC")));
    const std::vector<wxString> expected = {"Tuxedo Monitor [ t1 ] @ 127.0.0.1:9",
                                            "Tuxedo Monitor [ t2 ] @ 127.0.0.1:9",
                                            "WebLogic Monitor [ w1 ] @ 127.0.0.1:9"};
    EXPECT_EQ(SitePanes(), expected);
}

TEST_F(FrameTest, AnUnknownSiteTypeOpensNothing)
{
    EXPECT_FALSE(frame->OpenSite(TestSite("odd", "MQSERIES")));
    EXPECT_FALSE(frame->OpenSite(TestSite("lower", "tuxedo")));
    EXPECT_TRUE(SitePanes().empty());
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_FALSE(home.Exists("odd.db"));
}

// Connect with a site chosen, through the menu and the tool, is shown end to end.
TEST_F(FrameTest, ClosingTheSiteListOpensNothing)
{
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        db.InsertSite(TestSite("alpha", "TUXEDO"));
    }
    OnNextModal([](wxDialog& dialog) { dialog.EndModal(wxID_CANCEL); });
    Menu("File", "Connect...");
    EXPECT_TRUE(SitePanes().empty());
}

// Regression: the About box and the database dialog were made anew on every
// command and only hidden when closed, piling up until exit.
TEST_F(FrameTest, AboutAndDatabaseDialogsAreModelessAndGoneOnceClosed)
{
    Menu("Help", "About Corvane");
    Menu("Help", "About Corvane");
    Menu("Settings", "Database");
    Tool("Database setting");
    const auto boxes = TopLevel<HalvexAbout>();
    const auto databases = TopLevel<HalvexDatabaseDlg>();
    ASSERT_EQ(boxes.size(), 2u);
    ASSERT_EQ(databases.size(), 2u);
    for (wxDialog* dialog : {(wxDialog*)boxes[0], (wxDialog*)boxes[1], (wxDialog*)databases[0],
                             (wxDialog*)databases[1]})
    {
        EXPECT_TRUE(dialog->IsShown());
        EXPECT_FALSE(dialog->IsModal());
    }
    for (HalvexDatabaseDlg* d : databases)
        EXPECT_EQ(d->GetShownPath(), ConfigDbPath());
    EXPECT_FALSE(home.Exists("Corvane.db")); // shown whether or not it exists

    Click(boxes[0]->FindWindow(wxID_OK));
    boxes[1]->Close();
    Click(databases[0]->FindWindow(wxID_OK));
    databases[1]->Close();
    PumpFor(20);
    EXPECT_TRUE(TopLevel<HalvexAbout>().empty());
    EXPECT_TRUE(TopLevel<HalvexDatabaseDlg>().empty());
}

// Settings > Alarm is driven end to end; its tool runs the same modal dialog.
TEST_F(FrameTest, MetricsEndpointIsOffUntilSwitchedOnThenServesTheOpenSites)
{
    EXPECT_TRUE(frame->OpenSite(TestSite("t1", "TUXEDO")));
    EXPECT_EQ(frame->Metrics().Endpoint(), nullptr);
    OnNextModal(
        [](wxDialog& dialog)
        {
            Descendants<wxCheckBox>(&dialog)[0]->SetValue(true);
            const std::vector<wxTextCtrl*> fields = Descendants<wxTextCtrl>(&dialog);
            EXPECT_EQ(fields[0]->GetValue(), "127.0.0.1");
            fields[1]->SetValue("0");
            dialog.EndModal(wxID_OK);
        });
    Menu("Settings", "Metrics endpoint...");
    ASSERT_NE(frame->Metrics().Endpoint(), nullptr);
    MetricsSettings stored;
    ASSERT_TRUE(LoadMetricsSettings(ConfigDbPath(), stored));
    EXPECT_EQ(stored.Enabled, "TRUE");
    EXPECT_EQ(stored.Port, "0");

    // The samples are gathered on this thread: its loop runs while the scrape waits.
    auto scrape = std::async(std::launch::async, HttpGet, frame->Metrics().Endpoint()->Url(), 10000);
    ASSERT_TRUE(PumpUntil([&] { return scrape.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                          10000));
    const std::string text = scrape.get();
    EXPECT_NE(text.find("corvane_up{site=\"t1\"} 0\n"), std::string::npos) << text;
}

TEST_F(FrameTest, ActionToolRunsTheActionDialogModal)
{
    wxString title;
    OnNextModal(
        [&](wxDialog& dialog)
        {
            title = dialog.GetTitle();
            dialog.EndModal(wxID_CANCEL);
        });
    Tool("Alarm action setting");
    EXPECT_EQ(title, "Action Setting");
}

TEST_F(FrameTest, HelpAndWebLinksOpenThroughTheDesktop)
{
    Menu("Help", "Contents");
    Menu("Help", "Contents"); // two independent viewers
    for (const char* link :
         {"Technical Support", "Check for Update", "Tuxedo Forums", "WebLogic Forums"})
        Menu("Help", link);
    ASSERT_EQ(launched.size(), 6u);
    EXPECT_EQ(launched[0].first, LaunchKind::Document);
    EXPECT_EQ(launched[0].second, home.Dir() + "/help.html");
    EXPECT_EQ(launched[1], launched[0]);
    EXPECT_EQ(launched[2].first, LaunchKind::WebPage);
    EXPECT_EQ(launched[2].second, launched[3].second);
    EXPECT_TRUE(launched[4].second.EndsWith("/forums/category.jspa?categoryID=13"));
    EXPECT_EQ(launched[4].second, launched[5].second);
    EXPECT_NE(launched[2].second, launched[4].second);
}
