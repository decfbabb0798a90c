#include "app/halvex_about.h"
#include "app/halvex_frame.h"
#include "common/ids.h"
#include "common/launcher.h"
#include "common/program_dir.h"
#include "dialogs/halvex_database_dlg.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/weakref.h>

namespace
{
SiteRecord Site(const wxString& name, const wxString& type, const wxString& ip = "127.0.0.1",
                const wxString& port = "9")
{
    SiteRecord s;
    s.SiteName = name;
    s.SiteType = type;
    s.SiteIP = ip;
    s.SitePort = port;
    s.DatabaseFile = name + ".db";
    if (type == "WEBLOGIC")
    {
        s.SiteAuth = "weblogic";
        s.WlsAdminURL = "7001";
        s.WlsVer = "WebLogic V10";
    }
    return s;
}

struct CommandsTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
    wxWeakRef<HalvexFrame> frame = new HalvexFrame(nullptr);
    std::vector<std::pair<LaunchKind, wxString>> launched;
    LaunchHandler previousLauncher;

    CommandsTest()
    {
        previousLauncher = SetLaunchHandler([this](LaunchKind kind, const wxString& target)
                                            { launched.emplace_back(kind, target); });
    }
    ~CommandsTest() override
    {
        SetLaunchHandler(previousLauncher);
        if (frame)
            frame->Destroy();
        PumpFor(20);
    }

    void Command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame.get());
        frame->ProcessWindowEvent(event);
    }
    std::vector<wxString> SitePanes()
    {
        std::vector<wxString> names;
        wxAuiPaneInfoArray& panes = frame->GetAuiManager().GetAllPanes();
        for (size_t i = 0; i < panes.GetCount(); ++i)
            if (panes[i].name != "tb")
                names.push_back(panes[i].name);
        return names;
    }
    template <typename T> std::vector<T*> TopLevel()
    {
        std::vector<T*> found;
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* t = dynamic_cast<T*>(w))
                found.push_back(t);
        return found;
    }
};
} // namespace

TEST_F(CommandsTest, PaneNamesFollowTheSiteType)
{
    EXPECT_EQ(HalvexFrame::PaneName(Site("t1", "TUXEDO", "10.0.0.1", "7000")),
              "Tuxedo Monitor [ t1 ] @ 10.0.0.1:7000");
    EXPECT_EQ(HalvexFrame::PaneName(Site("w1", "WEBLOGIC", "host", "80a")),
              "WebLogic Monitor [ w1 ] @ host:80a");
}

TEST_F(CommandsTest, ASiteOpensOnceAndTwoSitesAtOneAddressOpenTwice)
{
    const SiteRecord tux = Site("t1", "TUXEDO");
    EXPECT_TRUE(frame->OpenSite(tux));
    // A new Corvane.db for the panel's action settings, then t1.db.
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[1], "Can't find database [" + home.Dir() + "/t1.db]!, will create a new one!");
    prompts.Clear();
    EXPECT_FALSE(frame->OpenSite(tux));
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{"This site is already connected!"});
    EXPECT_EQ(prompts.Messages()[0].parent, nullptr);

    prompts.Clear();
    EXPECT_TRUE(frame->OpenSite(Site("t2", "TUXEDO"))); // same address, another name
    EXPECT_TRUE(frame->OpenSite(Site("w1", "WEBLOGIC")));
    const std::vector<wxString> expected = {"Tuxedo Monitor [ t1 ] @ 127.0.0.1:9",
                                            "Tuxedo Monitor [ t2 ] @ 127.0.0.1:9",
                                            "WebLogic Monitor [ w1 ] @ 127.0.0.1:9"};
    EXPECT_EQ(SitePanes(), expected);

    const wxAuiPaneInfo& pane = frame->GetAuiManager().GetPane(expected[2]);
    EXPECT_EQ(pane.caption, expected[2]);
    EXPECT_TRUE(pane.IsFloating());
    EXPECT_FALSE(pane.IsTopDockable());
    EXPECT_TRUE(pane.HasCloseButton());
    EXPECT_TRUE(pane.HasMaximizeButton());
    EXPECT_TRUE(pane.HasPinButton());
    EXPECT_TRUE(pane.IsDestroyOnClose());
    EXPECT_NE(dynamic_cast<DunmerePanel*>(pane.window), nullptr);
    EXPECT_NE(dynamic_cast<HalvexPanel*>(frame->GetAuiManager().GetPane(expected[0]).window),
              nullptr);
}

TEST_F(CommandsTest, AnUnknownSiteTypeOpensNothing)
{
    EXPECT_FALSE(frame->OpenSite(Site("odd", "MQSERIES")));
    EXPECT_FALSE(frame->OpenSite(Site("lower", "tuxedo")));
    EXPECT_TRUE(SitePanes().empty());
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_FALSE(home.Exists("odd.db"));
}

TEST_F(CommandsTest, AClosedSiteReopensAsANewIdlePanel)
{
    const SiteRecord tux = Site("t1", "TUXEDO");
    ASSERT_TRUE(frame->OpenSite(tux));
    wxWeakRef<wxWindow> first = frame->GetAuiManager().GetPane(HalvexFrame::PaneName(tux)).window;
    prompts.Answer(wxYES);
    frame->GetAuiManager().ClosePane(frame->GetAuiManager().GetPane(HalvexFrame::PaneName(tux)));
    // ClosePane does not ask; the pane-close event does. Destroy as the manager would.
    PumpUntil([&] { return !first; }, 2000);
    prompts.Clear();
    ASSERT_TRUE(frame->OpenSite(tux));
    auto* again = dynamic_cast<HalvexPanel*>(
        frame->GetAuiManager().GetPane(HalvexFrame::PaneName(tux)).window);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->IsRunning());
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(CommandsTest, ConnectRunsTheSiteListAndOpensTheChosenSite)
{
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        db.InsertSite(Site("alpha", "TUXEDO"));
        db.InsertSite(Site("beta", "WEBLOGIC"));
    }
    prompts.Clear();
    OnNextModal(
        [](wxDialog& dialog)
        {
            auto lists = Descendants<wxListCtrl>(&dialog);
            lists[0]->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            for (wxButton* b : Descendants<wxButton>(&dialog))
                if (b->GetLabel() == "Connect")
                    Click(b);
        });
    Command(CorvaneId::Connect);
    EXPECT_EQ(SitePanes(), std::vector<wxString>{"WebLogic Monitor [ beta ] @ 127.0.0.1:9"});

    // The Site tool does the same; closing the list opens nothing.
    OnNextModal([](wxDialog& dialog) { dialog.EndModal(wxID_CANCEL); });
    wxCommandEvent tool(wxEVT_TOOL, CorvaneId::ToolSite);
    frame->ProcessWindowEvent(tool);
    EXPECT_EQ(SitePanes().size(), 1u);
}

TEST_F(CommandsTest, AboutBoxesAreModelessAndShowTheVersion)
{
    Command(CorvaneId::About);
    Command(CorvaneId::About);
    const auto boxes = TopLevel<HalvexAbout>();
    ASSERT_EQ(boxes.size(), 2u);
    for (HalvexAbout* box : boxes)
    {
        EXPECT_EQ(box->GetVersionText(), "Corvane - Version 3.3.0.9");
        EXPECT_EQ(box->GetTitle(), "About Corvane...");
        EXPECT_TRUE(box->IsShown());
        EXPECT_FALSE(box->IsModal());
        box->Destroy();
    }
}

TEST_F(CommandsTest, DatabaseSettingIsModelessAndNewEachTime)
{
    Command(CorvaneId::DatabaseSetting);
    wxCommandEvent tool(wxEVT_TOOL, CorvaneId::ToolDatabase);
    frame->ProcessWindowEvent(tool);
    const auto dialogs = TopLevel<HalvexDatabaseDlg>();
    ASSERT_EQ(dialogs.size(), 2u);
    for (HalvexDatabaseDlg* d : dialogs)
    {
        EXPECT_EQ(d->GetShownPath(), ConfigDbPath());
        d->Destroy();
    }
}

TEST_F(CommandsTest, AlarmSettingRunsTheActionDialogModal)
{
    wxString title;
    OnNextModal(
        [&](wxDialog& dialog)
        {
            title = dialog.GetTitle();
            dialog.EndModal(wxID_CANCEL);
        });
    Command(CorvaneId::AlarmSetting);
    EXPECT_EQ(title, "Action Setting");
}

TEST_F(CommandsTest, HelpAndWebLinksOpenThroughTheDesktop)
{
    Command(CorvaneId::HelpContents);
    Command(CorvaneId::HelpContents); // two independent viewers
    for (int id : {1005, 1006, 1007, 1008})
        Command(id);
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
