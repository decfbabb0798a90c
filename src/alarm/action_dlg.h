#pragma once

#include <wx/dialog.h>

class wxButton;
class wxCheckBox;
class wxStaticLine;
class wxStaticText;
class wxStdDialogButtonSizer;
class wxTextCtrl;

// Generated layout of the alarm action settings dialog.
class ActionDlg : public wxDialog
{
public:
    ActionDlg(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "Action Setting",
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(451, 305),
              long style = wxDEFAULT_DIALOG_STYLE);
    ~ActionDlg() override;

protected:
    wxStaticText* m_soundFileLabel;
    wxTextCtrl* m_soundFile;
    wxButton* m_find;
    wxStaticText* m_smtpSvrLabel;
    wxTextCtrl* m_smtpSvr;
    wxStaticText* m_smtpUsrLabel;
    wxTextCtrl* m_smtpUsr;
    wxStaticText* m_smtpPwdLabel;
    wxTextCtrl* m_smtpPwd;
    wxStaticText* m_mailToLabel;
    wxTextCtrl* m_mailTo;
    wxStaticText* m_senderLabel;
    wxTextCtrl* m_sender;
    wxCheckBox* m_allowPlainLogin;
    wxStaticText* m_caFileLabel;
    wxTextCtrl* m_caFile;
    wxButton* m_sendTestMail;
    wxStaticText* m_testOutcome;
    wxStaticText* m_smsToLabel;
    wxTextCtrl* m_smsTo;
    wxStaticLine* m_line;
    wxStdDialogButtonSizer* m_buttons;
    wxButton* m_ok;
    wxButton* m_cancel;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
    virtual void OnFindSoundFile(wxCommandEvent& event) { event.Skip(); }
    virtual void OnOK(wxCommandEvent& event) { event.Skip(); }
    virtual void OnSendTestMail(wxCommandEvent& event) { event.Skip(); }
};
