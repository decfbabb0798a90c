#include "dialogs/halvex_new_site_dlg.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

namespace
{
// Opens the editor's controls to the test, as an operator sees them.
struct Editor : HalvexNewSiteDlg
{
    Editor() : HalvexNewSiteDlg(nullptr) {}
    using NewSiteDlg::m_consolePort;
    using NewSiteDlg::m_consolePwd;
    using NewSiteDlg::m_consoleUser;
    using NewSiteDlg::m_database;
    using NewSiteDlg::m_ip;
    using NewSiteDlg::m_name;
    using NewSiteDlg::m_ok;
    using NewSiteDlg::m_port;
    using NewSiteDlg::m_type;
    using NewSiteDlg::m_version;

    void ChooseType(int item)
    {
        m_type->SetSelection(item);
        wxCommandEvent event(wxEVT_CHOICE, m_type->GetId());
        event.SetInt(item);
        event.SetEventObject(m_type);
        m_type->ProcessWindowEvent(event);
    }
};

SiteRecord WebLogicSite()
{
    SiteRecord site;
    site.SiteName = "wls1";
    site.SiteType = "WEBLOGIC";
    site.SiteIP = "10.0.0.5";
    site.SitePort = "7100";
    site.SiteAuth = "weblogic";
    site.SitePwd = "p'w\"d";
    site.WlsAdminURL = "7001";
    site.WlsVer = "WebLogic V10";
    site.DatabaseFile = "wls1.db";
    return site;
}
} // namespace

TEST(SiteEditor, ValidationMessagesComeInOrderAndKeepTheDialogOpen)
{
    PromptRecorder prompts;
    Editor editor;
    int stillOpen = 0;
    const int rc = RunModal(editor,
                            [&]
                            {
                                editor.ChooseType(1);
                                Click(editor.m_ok); // nothing typed
                                editor.m_name->ChangeValue("alpha");
                                Click(editor.m_ok);
                                editor.m_ip->ChangeValue("host");
                                Click(editor.m_ok); // port still empty
                                editor.m_port->ChangeValue("7100");
                                Click(editor.m_ok); // WebLogic user and console port empty
                                editor.m_consoleUser->ChangeValue("admin");
                                Click(editor.m_ok); // console port still empty
                                stillOpen = editor.IsModal();
                                editor.m_consolePort->ChangeValue("7001");
                                // Regression: names whose database file is not its own
                                for (const char* name : {"CorVane", "../x"})
                                {
                                    editor.m_name->ChangeValue(name);
                                    Click(editor.m_ok);
                                }
                                editor.m_name->ChangeValue("alpha");
                                Click(editor.m_ok); // the password plays no part
                            });
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(stillOpen);
    const std::vector<wxString> expected = {
        "Must Input Name!!", "IP and PORT not set!!", "IP and PORT not set!!",
        "WebLogic User/Pwd  or Admin URL not set!!", "WebLogic User/Pwd  or Admin URL not set!!",
        "The Name can't contain / or be Corvane: its database file [CorVane.db] must be a file of "
        "its own in the program directory!!",
        "The Name can't contain / or be Corvane: its database file [../x.db] must be a file of its "
        "own in the program directory!!"};
    EXPECT_EQ(prompts.Texts(), expected);
    for (const MessageRequest& m : prompts.Messages())
        EXPECT_EQ(m.caption, "Message");

    const SiteRecord site = editor.GetSite();
    EXPECT_EQ(site.SiteName, "alpha");
    EXPECT_EQ(site.SiteType, "WEBLOGIC");
    EXPECT_EQ(site.SitePwd, "");
    EXPECT_EQ(site.WlsVer, "WebLogic V8"); // the layout's default version
    EXPECT_EQ(site.DatabaseFile, "alpha.db");
}

// A new site starts as Tuxedo with the WebLogic fields off.
TEST(SiteEditor, SwitchingBackToTuxedoClearsUserAndPortButKeepsThePassword)
{
    PromptRecorder prompts;
    Editor editor;
    const int rc =
        RunModal(editor,
                 [&]
                 {
                     EXPECT_EQ(editor.m_type->GetSelection(), 0);
                     const wxWindow* webLogic[] = {editor.m_consoleUser, editor.m_consolePort,
                                                   editor.m_version, editor.m_consolePwd};
                     for (const wxWindow* field : webLogic)
                         EXPECT_FALSE(field->IsEnabled());
                     editor.ChooseType(1);
                     editor.m_name->ChangeValue("tux%1");
                     editor.m_ip->ChangeValue("h");
                     editor.m_port->ChangeValue("80a");
                     editor.m_consoleUser->ChangeValue("u");
                     editor.m_consolePort->ChangeValue("7001");
                     editor.m_consolePwd->ChangeValue("secret");
                     editor.ChooseType(0);
                     EXPECT_EQ(editor.m_consoleUser->GetValue(), "");
                     EXPECT_EQ(editor.m_consolePort->GetValue(), "");
                     EXPECT_FALSE(editor.m_consolePwd->IsEnabled());
                     Click(editor.m_ok);
                 });
    ASSERT_EQ(rc, 1);
    EXPECT_TRUE(prompts.Messages().empty());
    const SiteRecord site = editor.GetSite();
    EXPECT_EQ(site.SiteType, "TUXEDO");
    EXPECT_EQ(site.SitePwd, "secret");
    EXPECT_EQ(site.SiteAuth, "");
    EXPECT_EQ(site.WlsVer, "");
    EXPECT_EQ(site.SitePort, "80a");
    EXPECT_EQ(site.DatabaseFile, "tux%1.db");
}

TEST(SiteEditor, ExistingSiteShowsItsFieldsAndKeepsNameTypeAndDatabase)
{
    PromptRecorder prompts;
    Editor editor;
    editor.SetSite(WebLogicSite());
    const int rc = RunModal(editor,
                            [&]
                            {
                                EXPECT_FALSE(editor.m_name->IsEnabled());
                                EXPECT_FALSE(editor.m_type->IsEnabled());
                                EXPECT_EQ(editor.m_type->GetSelection(), 1);
                                EXPECT_EQ(editor.m_version->GetSelection(), 2);
                                EXPECT_EQ(editor.m_consolePwd->GetValue(), "p'w\"d");
                                EXPECT_EQ(editor.m_database->GetValue(), "wls1.db");
                                editor.m_ip->ChangeValue("10.0.0.6");
                                Click(editor.m_ok);
                            });
    ASSERT_EQ(rc, 1);
    const SiteRecord site = editor.GetSite();
    EXPECT_EQ(site.SiteIP, "10.0.0.6");
    EXPECT_EQ(site.DatabaseFile, "wls1.db");
    EXPECT_EQ(site.WlsVer, "WebLogic V10");
}

TEST(SiteEditor, UnknownStoredVersionLeavesTheLayoutDefault)
{
    PromptRecorder prompts;
    Editor editor;
    SiteRecord site = WebLogicSite();
    site.WlsVer = "WebLogic V12";
    editor.SetSite(site);
    RunModal(editor,
             [&]
             {
                 EXPECT_EQ(editor.m_version->GetSelection(), 0);
                 editor.EndModal(wxID_CANCEL);
             });
}
