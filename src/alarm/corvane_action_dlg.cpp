#include "alarm/corvane_action_dlg.h"

#include "alarm/alarm_mail.h"
#include "common/program_dir.h"
#include "common/prompt.h"
#include "store/mail_settings.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

CorvaneActionDlg::CorvaneActionDlg(wxWindow* parent) : ActionDlg(parent)
{
    m_db.Open(ConfigDbPath(), DbAccess::ConfigDb);
    if (m_db.LoadActionSettings() > 0)
        m_settings = m_db.GetActionSettings();
    wxString error;
    if (!LoadMailOptions(ConfigDbPath(), m_settings.Mail, &error))
        ShowMessage(error);
}

CorvaneActionDlg::~CorvaneActionDlg()
{
    m_db.Close();
}

wxString CorvaneActionDlg::TestOutcomeText() const
{
    return m_testOutcome->GetLabelText();
}

void CorvaneActionDlg::OnInitDialog(wxInitDialogEvent&)
{
    m_soundFile->WriteText(m_settings.SoundFile);
    m_smtpSvr->WriteText(m_settings.SMTPSvr);
    m_smtpUsr->WriteText(m_settings.SMTPUsr);
    m_smtpPwd->WriteText(m_settings.SMTPPwd);
    m_mailTo->WriteText(m_settings.MailTo);
    m_smsTo->WriteText(m_settings.SMSTo);
    m_sender->WriteText(m_settings.Mail.Sender);
    m_caFile->WriteText(m_settings.Mail.CAFile);
    m_allowPlainLogin->SetValue(FlagOn(m_settings.Mail.AllowPlainLogin));
}

void CorvaneActionDlg::OnFindSoundFile(wxCommandEvent&)
{
    FileRequest request;
    request.title = "Choose a sound file";
    request.directory = ProgramDir();
    request.filter = "Wav files(*.wav)|*.wav";
    request.style = wxFD_OPEN;
    request.parent = this;
    const wxString path = ChooseFile(request);
    if (!path.empty())
        m_soundFile->WriteText(path); // inserted at the insertion point, not substituted
}

ActionSettings CorvaneActionDlg::OnScreen() const
{
    ActionSettings settings;
    settings.SoundFile = m_soundFile->GetValue();
    settings.SMTPSvr = m_smtpSvr->GetValue();
    settings.SMTPUsr = m_smtpUsr->GetValue();
    settings.SMTPPwd = m_smtpPwd->GetValue();
    settings.MailTo = m_mailTo->GetValue();
    settings.SMSTo = m_smsTo->GetValue();
    settings.Mail.Sender = m_sender->GetValue();
    settings.Mail.CAFile = m_caFile->GetValue();
    settings.Mail.AllowPlainLogin = m_allowPlainLogin->GetValue() ? "TRUE" : "";
    return settings;
}

void CorvaneActionDlg::OnOK(wxCommandEvent&)
{
    const ActionSettings edited = OnScreen();
    // A line break would let the address smuggle commands into the dialogue
    // with the mail server: refused before it is stored.
    if (HasMailLineBreak(edited))
    {
        ShowMessage(kMailLineBreakRefused, "Message", wxOK | wxCENTRE, this);
        return;
    }
    m_settings = edited;
    m_db.SaveActionSettings(m_settings);
    wxString error;
    if (!SaveMailOptions(ConfigDbPath(), m_settings.Mail, &error))
        ShowMessage(error);
    if (IsModal())
        EndModal(wxID_OK);
    else
        Destroy();
}

void CorvaneActionDlg::OnSendTestMail(wxCommandEvent&)
{
    const ActionSettings settings = OnScreen();
    const wxString problem = MailSettingsProblem(settings);
    if (!problem.empty())
    {
        ShowTestOutcome(problem);
        return;
    }
    m_sendTestMail->Disable(); // one test at a time
    ShowTestOutcome("Sending a test mail...");
    // The dialogue runs on the event loop; the dialog may be gone by its end.
    wxWeakRef<CorvaneActionDlg> self(this);
    SendTestMail(settings,
                 [self](const MailOutcome& outcome)
                 {
                     if (!self)
                         return;
                     self->m_sendTestMail->Enable();
                     self->ShowTestOutcome(DescribeOutcome(outcome));
                 });
}

void CorvaneActionDlg::ShowTestOutcome(const wxString& text)
{
    m_testOutcome->SetLabelText(text);
    m_testOutcome->SetToolTip(text); // the whole line when it is cut short
}
