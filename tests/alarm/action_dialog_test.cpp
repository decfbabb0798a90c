// The mail options of the action settings dialog: their own table beside the
// designed one, line breaks refused, and the test mail's outcome on screen.
#include "alarm/alarm_mail.h"
#include "alarm/corvane_action_dlg.h"
#include "common/program_dir.h"
#include "store/mail_settings.h"
#include "support/loopback_server.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>
#include <wx/wxsqlite3.h>

namespace
{
struct ActionDialog : CorvaneActionDlg
{
    ActionDialog() : CorvaneActionDlg(nullptr) {}
    using ActionDlg::m_allowPlainLogin;
    using ActionDlg::m_caFile;
    using ActionDlg::m_mailTo;
    using ActionDlg::m_ok;
    using ActionDlg::m_sendTestMail;
    using ActionDlg::m_sender;
    using ActionDlg::m_smtpPwd;
    using ActionDlg::m_smtpSvr;
    using ActionDlg::m_smtpUsr;
};

std::vector<wxString> Columns(const char* table)
{
    wxSQLite3Database db;
    db.Open(ConfigDbPath());
    std::vector<wxString> columns;
    wxSQLite3ResultSet rows = db.ExecuteQuery(wxString::Format("PRAGMA table_info(%s);", table));
    while (rows.NextRow())
        columns.push_back(rows.GetAsString(1));
    return columns;
}

struct ActionDialogMail : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
};
} // namespace

// A file from before the options existed opens as it was; the options go into
// a table of their own, made when missing, and reach the panels' loader.
TEST_F(ActionDialogMail, OptionsLiveBesideTheDesignedTable)
{
    {
        DbAccess db;
        ASSERT_EQ(db.Open(ConfigDbPath(), DbAccess::ConfigDb), 1);
    }
    EXPECT_TRUE(Columns("MailSet").empty());
    ActionDialog dialog;
    RunModal(dialog,
             [&]
             {
                 EXPECT_EQ(dialog.m_sender->GetValue(), "");
                 EXPECT_FALSE(dialog.m_allowPlainLogin->GetValue());
                 dialog.m_sender->ChangeValue("alarms@site.test");
                 dialog.m_caFile->ChangeValue("/etc/corvane/relay-ca.pem");
                 dialog.m_allowPlainLogin->SetValue(true);
                 dialog.m_mailTo->ChangeValue("a@x;b@y");
                 Click(dialog.m_ok);
             });
    EXPECT_EQ(Columns("ActionSet"), (std::vector<wxString>{"SMSTo", "MailTo", "SMTPPwd", "SMTPUsr",
                                                           "SMTPSvr", "SoundFile"}));
    ActionSettings loaded;
    LoadActionSettingsInto(loaded);
    EXPECT_EQ(loaded.MailTo, "a@x;b@y");
    EXPECT_EQ(loaded.Mail.Sender, "alarms@site.test");
    EXPECT_EQ(loaded.Mail.CAFile, "/etc/corvane/relay-ca.pem");
    EXPECT_EQ(loaded.Mail.AllowPlainLogin, "TRUE");
}

// Regression: a line break in Mail To or the sender was stored, and later
// sent as commands of its own.
TEST_F(ActionDialogMail, LineBreakIsRefusedAndNothingStored)
{
    ActionDialog dialog;
    prompts.Clear(); // Corvane.db was created
    RunModal(dialog,
             [&]
             {
                 dialog.m_sender->ChangeValue("a@x\r\nRCPT TO:<spy@x>");
                 Click(dialog.m_ok);
                 EXPECT_TRUE(dialog.IsModal()); // still open for a correction
                 dialog.m_sender->ChangeValue("a@x");
                 Click(dialog.m_ok);
             });
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{kMailLineBreakRefused});
    MailOptions stored;
    ASSERT_TRUE(LoadMailOptions(ConfigDbPath(), stored));
    EXPECT_EQ(stored.Sender, "a@x");
}

// The button returns at once; the outcome follows while the dialog runs.
TEST_F(ActionDialogMail, TestMailOutcomeIsShown)
{
    ActionDialog dialog;
    RunModal(dialog,
             [&]
             {
                 Click(dialog.m_sendTestMail);
                 EXPECT_EQ(dialog.TestOutcomeText(),
                           "SMTP Svr, User, Pwd and Mail To are needed to send a mail.");
                 const unsigned short port = UnusedLoopbackPort();
                 dialog.m_smtpSvr->ChangeValue(wxString::Format("127.0.0.1:%u", port));
                 dialog.m_smtpUsr->ChangeValue("u");
                 dialog.m_smtpPwd->ChangeValue("p");
                 dialog.m_mailTo->ChangeValue("ops@site");
                 Click(dialog.m_sendTestMail);
                 EXPECT_EQ(dialog.TestOutcomeText(), "Sending a test mail...");
                 EXPECT_FALSE(dialog.m_sendTestMail->IsEnabled());
                 EXPECT_TRUE(PumpUntil([&] { return dialog.m_sendTestMail->IsEnabled(); }));
                 EXPECT_EQ(dialog.TestOutcomeText(),
                           wxString::Format("Not delivered: cannot connect to 127.0.0.1:%u", port));
                 dialog.EndModal(wxID_CANCEL);
             });
}
