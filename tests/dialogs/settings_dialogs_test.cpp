#include "alarm/corvane_action_dlg.h"
#include "alarm/corvane_wls_alarm_dlg.h"
#include "alarm/halvex_tux_alarm_dlg.h"
#include "common/program_dir.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

namespace
{
struct ActionDialog : CorvaneActionDlg
{
    ActionDialog() : CorvaneActionDlg(nullptr) {}
    using ActionDlg::m_find;
    using ActionDlg::m_mailTo;
    using ActionDlg::m_ok;
    using ActionDlg::m_smsTo;
    using ActionDlg::m_smtpPwd;
    using ActionDlg::m_smtpSvr;
    using ActionDlg::m_smtpUsr;
    using ActionDlg::m_soundFile;
};

struct TuxRules : HalvexTuxAlarmDlg
{
    TuxRules() : HalvexTuxAlarmDlg(nullptr) {}
    using TuxAlarmDlg::m_actionSetting;
    using TuxAlarmDlg::m_email;
    using TuxAlarmDlg::m_longBusy;
    using TuxAlarmDlg::m_noTran;
    using TuxAlarmDlg::m_ok;
    using TuxAlarmDlg::m_playSound;
    using TuxAlarmDlg::m_queued;
    using TuxAlarmDlg::m_sms;
    using TuxAlarmDlg::m_svrDied;
};

struct WlsRules : CorvaneWlsAlarmDlg
{
    WlsRules() : CorvaneWlsAlarmDlg(nullptr) {}
    using WlsAlarmDlg::m_freeHeap;
    using WlsAlarmDlg::m_idleJdbc;
    using WlsAlarmDlg::m_ok;
    using WlsAlarmDlg::m_svrDied;
    using WlsAlarmDlg::m_threadDump;
};

ActionSettings StoredSettings(int* rows = nullptr)
{
    DbAccess db;
    db.Open(ConfigDbPath(), DbAccess::ConfigDb);
    const int n = db.LoadActionSettings();
    if (rows)
        *rows = n;
    return db.GetActionSettings();
}

struct SettingsTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
};
} // namespace

// On a fresh database Cancel stores nothing, OK one row of empty fields.
TEST_F(SettingsTest, ActionDialogOnAFreshDatabase)
{
    EXPECT_EQ(prompts.Texts().size(), 0u);
    for (bool ok : {false, true})
    {
        ActionDialog dialog;
        RunModal(dialog,
                 [&]
                 {
                     for (wxTextCtrl* f : {dialog.m_soundFile, dialog.m_smtpSvr, dialog.m_smtpUsr,
                                           dialog.m_smtpPwd, dialog.m_mailTo, dialog.m_smsTo})
                         EXPECT_EQ(f->GetValue(), "");
                     dialog.m_smtpSvr->ChangeValue(ok ? "" : "changed");
                     ok ? Click(dialog.m_ok) : dialog.EndModal(wxID_CANCEL);
                 });
        int rows = -1;
        EXPECT_EQ(StoredSettings(&rows), ActionSettings());
        EXPECT_EQ(rows, ok ? 1 : 0);
    }
    EXPECT_EQ(prompts.Texts().size(), 1u); // Corvane.db created
}

TEST_F(SettingsTest, ActionDialogShowsStoredValuesAndSavesWhatWasTyped)
{
    ActionSettings stored;
    stored.SMTPSvr = "mail.local:2525";
    stored.SMTPUsr = "ops";
    stored.SMTPPwd = "p'%\\w";
    stored.MailTo = "a@x.org;b@x.org";
    {
        DbAccess db;
        db.Open(ConfigDbPath(), DbAccess::ConfigDb);
        db.SaveActionSettings(stored);
    }
    ActionDialog dialog;
    RunModal(dialog,
             [&]
             {
                 EXPECT_EQ(dialog.m_smtpPwd->GetValue(), "p'%\\w"); // readable, not masked
                 EXPECT_EQ(dialog.m_mailTo->GetValue(), "a@x.org;b@x.org");
                 dialog.m_smsTo->ChangeValue("555-1234");
                 Click(dialog.m_ok);
             });
    stored.SMSTo = "555-1234";
    EXPECT_EQ(StoredSettings(), stored);
}

TEST_F(SettingsTest, FindInsertsThePathAtTheInsertionPointTwice)
{
    ActionDialog dialog;
    prompts.ChooseFile("/sounds/a.wav");
    prompts.ChooseFile("/sounds/b.wav");
    prompts.ChooseFile(""); // cancelled
    RunModal(dialog,
             [&]
             {
                 Click(dialog.m_find);
                 Click(dialog.m_find);
                 Click(dialog.m_find);
                 Click(dialog.m_ok);
             });
    ASSERT_EQ(prompts.FileRequests().size(), 3u);
    EXPECT_EQ(prompts.FileRequests()[0].title, "Choose a sound file");
    EXPECT_EQ(prompts.FileRequests()[0].filter, "Wav files(*.wav)|*.wav");
    EXPECT_EQ(prompts.FileRequests()[0].directory, ProgramDir());
    EXPECT_EQ(StoredSettings().SoundFile, "/sounds/a.wav/sounds/b.wav");
}

TEST_F(SettingsTest, TuxRulesTickWhatIsSetAndRewriteFlagsAsTRUE)
{
    TuxAlarmRule rule;
    rule.SiteName = "site1";
    rule.SvrDied = "SVR1;SVR2";
    rule.Queued = "5";
    rule.PlaySound = "true"; // shown ticked, stored back as TRUE
    rule.SMS = "1";
    TuxRules dialog;
    dialog.SetRule(rule);
    const int rc = RunModal(dialog,
                            [&]
                            {
                                EXPECT_TRUE(dialog.m_svrDied.check->GetValue());
                                EXPECT_EQ(dialog.m_svrDied.text->GetValue(), "SVR1;SVR2");
                                EXPECT_FALSE(dialog.m_noTran.check->GetValue());
                                EXPECT_EQ(dialog.m_noTran.text->GetValue(), "");
                                EXPECT_TRUE(dialog.m_playSound->GetValue());
                                EXPECT_FALSE(dialog.m_email->GetValue());
                                EXPECT_TRUE(dialog.m_sms->GetValue());
                                // Typed, then unticked: stored empty.
                                dialog.m_longBusy.check->SetValue(true);
                                dialog.m_longBusy.text->ChangeValue("SVR9");
                                dialog.m_longBusy.check->SetValue(false);
                                // Ticked with nothing typed: stored empty too.
                                dialog.m_noTran.check->SetValue(true);
                                dialog.m_email->SetValue(true);
                                Click(dialog.m_ok);
                            });
    ASSERT_EQ(rc, 1);
    const TuxAlarmRule edited = dialog.GetRule();
    EXPECT_EQ(edited.SiteName, "site1");
    EXPECT_EQ(edited.SvrDied, "SVR1;SVR2");
    EXPECT_EQ(edited.LongBusy, "");
    EXPECT_EQ(edited.NoTran, "");
    EXPECT_EQ(edited.Queued, "5");
    EXPECT_EQ(edited.PlaySound, "TRUE");
    EXPECT_EQ(edited.Email, "TRUE");
    EXPECT_EQ(edited.SMS, "TRUE");
}

TEST_F(SettingsTest, TuxRulesActionSettingOpensOnTopAndKeepsEdits)
{
    TuxRules dialog;
    const int rc = RunModal(dialog,
                            [&]
                            {
                                dialog.m_queued.check->SetValue(true);
                                dialog.m_queued.text->ChangeValue("7");
                                bool opened = false;
                                OnNextModal(
                                    [&](wxDialog& inner)
                                    {
                                        opened = inner.GetTitle() == "Action Setting";
                                        inner.EndModal(wxID_CANCEL);
                                    });
                                Click(dialog.m_actionSetting);
                                EXPECT_TRUE(opened);
                                EXPECT_EQ(dialog.m_queued.text->GetValue(), "7");
                                Click(dialog.m_ok);
                            });
    ASSERT_EQ(rc, 1);
    EXPECT_EQ(dialog.GetRule().Queued, "7");
}

// The idle thread row and the thread-dump box are driven end to end.
TEST_F(SettingsTest, WlsRulesShowAndStoreConditionsAndFlags)
{
    WlsAlarmRule rule;
    rule.FreeHeap = "20";
    rule.ThreadDump = "TRUE";
    WlsRules dialog;
    dialog.SetRule(rule);
    const int rc = RunModal(dialog,
                            [&]
                            {
                                EXPECT_TRUE(dialog.m_freeHeap.check->GetValue());
                                EXPECT_TRUE(dialog.m_threadDump->GetValue());
                                dialog.m_freeHeap.check->SetValue(false);
                                dialog.m_idleJdbc.check->SetValue(true);
                                dialog.m_idleJdbc.text->ChangeValue("abc"); // nothing validated
                                Click(dialog.m_ok);
                            });
    ASSERT_EQ(rc, 1);
    const WlsAlarmRule edited = dialog.GetRule();
    EXPECT_EQ(edited.IdleJDBC, "abc");
    EXPECT_EQ(edited.FreeHeap, "");
    EXPECT_EQ(edited.ThreadDump, "TRUE");
    EXPECT_EQ(edited.PlaySound, "");
}
