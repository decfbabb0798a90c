#include "alarm/corvane_action_dlg.h"

#include "common/program_dir.h"
#include "common/prompt.h"

#include <wx/filedlg.h>
#include <wx/textctrl.h>

CorvaneActionDlg::CorvaneActionDlg(wxWindow* parent) : ActionDlg(parent)
{
    m_db.Open(ConfigDbPath(), DbAccess::ConfigDb);
    if (m_db.LoadActionSettings() > 0)
        m_settings = m_db.GetActionSettings();
}

CorvaneActionDlg::~CorvaneActionDlg()
{
    m_db.Close();
}

void CorvaneActionDlg::OnInitDialog(wxInitDialogEvent&)
{
    m_soundFile->WriteText(m_settings.SoundFile);
    m_smtpSvr->WriteText(m_settings.SMTPSvr);
    m_smtpUsr->WriteText(m_settings.SMTPUsr);
    m_smtpPwd->WriteText(m_settings.SMTPPwd);
    m_mailTo->WriteText(m_settings.MailTo);
    m_smsTo->WriteText(m_settings.SMSTo);
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

void CorvaneActionDlg::OnOK(wxCommandEvent&)
{
    m_settings.SoundFile = m_soundFile->GetValue();
    m_settings.SMTPSvr = m_smtpSvr->GetValue();
    m_settings.SMTPUsr = m_smtpUsr->GetValue();
    m_settings.SMTPPwd = m_smtpPwd->GetValue();
    m_settings.MailTo = m_mailTo->GetValue();
    m_settings.SMSTo = m_smsTo->GetValue();
    m_db.SaveActionSettings(m_settings);
    if (IsModal())
        EndModal(wxID_OK);
    else
        Destroy();
}
