#include "common/program_dir.h"
#include "dialogs/halvex_new_site_dlg.h"
#include "dialogs/halvex_site_list_dlg.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/temp_home.h"
#include "support/test_site.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/wxsqlite3.h>

namespace
{
struct SiteList : HalvexSiteListDlg
{
    SiteList() : HalvexSiteListDlg(nullptr) {}
    using SiteListDlg::m_add;
    using SiteListDlg::m_connect;
    using SiteListDlg::m_delete;
    using SiteListDlg::m_deleteDb;
    using SiteListDlg::m_list;
    using SiteListDlg::m_modify;

    void Select(long row)
    {
        m_list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    std::vector<wxString> Names() const
    {
        std::vector<wxString> names;
        for (long i = 0; i < m_list->GetItemCount(); ++i)
            names.push_back(m_list->GetItemText(i, 0));
        return names;
    }
};

// Fills the site editor that the next Add or Modify opens.
void FillNextEditor(const wxString& name, const wxString& ip, const wxString& port)
{
    OnNextModal(
        [=](wxDialog& dialog)
        {
            // Text fields in layout order: name, agent IP, port, database, ...
            const auto fields = Descendants<wxTextCtrl>(&dialog);
            if (fields[0]->IsEnabled())
                fields[0]->ChangeValue(name);
            fields[1]->ChangeValue(ip);
            fields[2]->ChangeValue(port);
            Click(dialog.FindWindow(wxID_OK));
        });
}

struct SiteListTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;

    void Store(const std::vector<SiteRecord>& sites)
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        for (const SiteRecord& s : sites)
            db.InsertSite(s);
        db.Close();
        prompts.Clear();
    }
    std::vector<wxString> StoredNames()
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        db.LoadSites();
        std::vector<wxString> names;
        for (const SiteRecord& s : db.Sites())
            names.push_back(s.SiteName);
        return names;
    }
};
} // namespace

TEST_F(SiteListTest, ShowsEveryFieldButThePassword)
{
    SiteRecord s = TestSite("alpha", "WEBLOGIC");
    s.SitePwd = "hidden-pass";
    s.SiteAuth = "admin";
    s.WlsVer = "WebLogic V9";
    Store({s});
    SiteList list;
    wxString row;
    RunModal(list,
             [&]
             {
                 for (int c = 0; c < list.m_list->GetColumnCount(); ++c)
                     row << list.m_list->GetItemText(0, c) << "|";
                 list.EndModal(wxID_CANCEL);
             });
    EXPECT_EQ(row, "alpha|WEBLOGIC|127.0.0.1|9|7001|admin|WebLogic V9|alpha.db|");
}

TEST_F(SiteListTest, WithNoSitesEveryCommandAsksForASelection)
{
    SiteList list;
    ASSERT_EQ(prompts.Texts().size(), 1u); // the new Corvane.db
    EXPECT_TRUE(prompts.Texts()[0].StartsWith("Can't find database ["));
    prompts.Clear();
    const int rc = RunModal(list,
                            [&]
                            {
                                Click(list.m_connect);
                                Click(list.m_modify);
                                Click(list.m_delete);
                                list.EndModal(wxID_CANCEL);
                            });
    EXPECT_EQ(rc, wxID_CANCEL);
    const std::vector<wxString> expected = {"You Must choose one site!",
                                            "You haven't choose any one!",
                                            "You haven't choose any one!"};
    EXPECT_EQ(prompts.Texts(), expected);
}

TEST_F(SiteListTest, AddRefusesAnExactDuplicateButAcceptsADifferentCase)
{
    Store({TestSite("alpha", "TUXEDO")});
    SiteList list;
    RunModal(list,
             [&]
             {
                 FillNextEditor("alpha", "h", "1");
                 Click(list.m_add);
                 FillNextEditor("Alpha", "h", "1");
                 Click(list.m_add);
                 list.EndModal(wxID_CANCEL);
             });
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{"There is another site with the same Name!"});
    EXPECT_EQ(StoredNames(), (std::vector<wxString>{"alpha", "Alpha"}));
}

TEST_F(SiteListTest, ModifyMovesTheSiteToTheEndAndClearsTheSelection)
{
    Store({TestSite("alpha", "TUXEDO"), TestSite("beta", "TUXEDO"), TestSite("gamma", "TUXEDO")});
    SiteList list;
    RunModal(list,
             [&]
             {
                 list.Select(0);
                 EXPECT_EQ(list.GetSelection(), 0);
                 FillNextEditor("ignored", "10.1.1.1", "9100");
                 Click(list.m_modify);
                 EXPECT_EQ(list.Names(), (std::vector<wxString>{"beta", "gamma", "alpha"}));
                 EXPECT_EQ(list.GetSelection(), -1);
                 Click(list.m_connect);
                 list.EndModal(wxID_CANCEL);
             });
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{"You Must choose one site!"});
    DbAccess db;
    db.Open(ConfigDbPath(), DbAccess::ConfigDb);
    db.LoadSites();
    const SiteRecord moved = db.Sites().back();
    EXPECT_EQ(moved.SiteName, "alpha");
    EXPECT_EQ(moved.SiteIP, "10.1.1.1");
    EXPECT_EQ(moved.DatabaseFile, "alpha.db");
}

TEST_F(SiteListTest, DeleteAsksAndRemovesTheDatabaseFileOnlyWhenTicked)
{
    Store({TestSite("alpha", "TUXEDO"), TestSite("beta", "TUXEDO")});
    WriteFileBytes(home.File("alpha.db"), "x");
    WriteFileBytes(home.File("beta.db"), "x");
    SiteList list;
    RunModal(list,
             [&]
             {
                 list.Select(0);
                 prompts.Answer(wxNO);
                 Click(list.m_delete);
                 EXPECT_EQ(list.Names().size(), 2u);

                 prompts.Answer(wxYES);
                 Click(list.m_delete); // alpha, file kept
                 EXPECT_EQ(list.Names(), std::vector<wxString>{"beta"});
                 EXPECT_EQ(list.GetSelection(), -1);

                 list.Select(0);
                 list.m_deleteDb->SetValue(true);
                 prompts.Answer(wxYES);
                 Click(list.m_delete); // beta, file removed
                 list.EndModal(wxID_CANCEL);
             });
    ASSERT_GE(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].text, "Are you sure you want to DELETE this site?");
    EXPECT_EQ(prompts.Messages()[0].caption, "Halvex");
    EXPECT_TRUE(home.Exists("alpha.db"));
    EXPECT_FALSE(home.Exists("beta.db"));
    EXPECT_TRUE(StoredNames().empty());
}

// Regression: Delete took the row off the list even when the store refused.
TEST_F(SiteListTest, DeleteTheStoreRefusesKeepsTheRow)
{
    Store({TestSite("alpha", "TUXEDO")});
    {
        wxSQLite3Database raw;
        raw.Open(ConfigDbPath());
        raw.ExecuteUpdate("create trigger keep before delete on SiteList "
                          "begin select raise(abort, 'kept'); end");
    }
    SiteList list;
    RunModal(list,
             [&]
             {
                 list.Select(0);
                 prompts.Answer(wxYES);
                 Click(list.m_delete);
                 EXPECT_EQ(list.Names(), std::vector<wxString>{"alpha"});
                 list.EndModal(wxID_CANCEL);
             });
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_TRUE(prompts.Texts()[1].Contains("kept")) << prompts.Texts()[1];
    EXPECT_EQ(StoredNames(), std::vector<wxString>{"alpha"});
}

TEST_F(SiteListTest, OddCharactersRoundTripThroughTheEditorAndTheStore)
{
    const wxString name = wxString::FromUTF8("Caf\xc3\xa9 'prod' 100% \\east");
    SiteList list;
    RunModal(list,
             [&]
             {
                 FillNextEditor(name, wxString::FromUTF8("h\xc3\xb4te 1"), "7001");
                 Click(list.m_add);
                 list.EndModal(wxID_CANCEL);
             });
    EXPECT_EQ(list.Names(), std::vector<wxString>{name});
    ASSERT_EQ(StoredNames(), std::vector<wxString>{name});
    DbAccess db;
    db.Open(ConfigDbPath(), DbAccess::ConfigDb);
    db.LoadSites();
    EXPECT_EQ(db.Sites()[0].DatabaseFile, name + ".db");
}
