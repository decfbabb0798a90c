#include "alarm/action_dlg.h"

#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <utility>

ActionDlg::ActionDlg(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                     const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    const int border = wxALL;

    auto* sound = new wxStaticBoxSizer(wxHORIZONTAL, this, "PlaySound Setting");
    wxWindow* soundBox = sound->GetStaticBox();
    m_soundFileLabel = new wxStaticText(soundBox, wxID_ANY, "SoundFile:");
    sound->Add(m_soundFileLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_soundFile = new wxTextCtrl(soundBox, wxID_ANY);
    sound->Add(m_soundFile, 1, border, 5);
    m_find = new wxButton(soundBox, wxID_ANY, "Find...");
    sound->Add(m_find, 0, border, 5);
    top->Add(sound, 0, wxEXPAND | border, 5);

    auto* mail = new wxStaticBoxSizer(wxVERTICAL, this, "EMail Setting");
    wxWindow* mailBox = mail->GetStaticBox();
    auto* mailRow1 = new wxBoxSizer(wxHORIZONTAL);
    m_smtpSvrLabel = new wxStaticText(mailBox, wxID_ANY, "SMTP Svr:");
    mailRow1->Add(m_smtpSvrLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_smtpSvr = new wxTextCtrl(mailBox, wxID_ANY);
    mailRow1->Add(m_smtpSvr, 0, border, 5);
    m_smtpUsrLabel = new wxStaticText(mailBox, wxID_ANY, "User:");
    mailRow1->Add(m_smtpUsrLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_smtpUsr = new wxTextCtrl(mailBox, wxID_ANY);
    mailRow1->Add(m_smtpUsr, 1, border, 5);
    m_smtpPwdLabel = new wxStaticText(mailBox, wxID_ANY, "Pwd:");
    mailRow1->Add(m_smtpPwdLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_smtpPwd = new wxTextCtrl(mailBox, wxID_ANY); // not masked, as designed
    mailRow1->Add(m_smtpPwd, 1, border, 5);
    mail->Add(mailRow1, 0, wxEXPAND);
    auto* mailRow2 = new wxBoxSizer(wxHORIZONTAL);
    m_mailToLabel = new wxStaticText(mailBox, wxID_ANY, "Mail To(;):");
    mailRow2->Add(m_mailToLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_mailTo = new wxTextCtrl(mailBox, wxID_ANY);
    mailRow2->Add(m_mailTo, 1, border, 5);
    mail->Add(mailRow2, 0, wxEXPAND);
    // The sender, the login over plain text, trusted CAs and the test mail.
    auto* mailRow3 = new wxBoxSizer(wxHORIZONTAL);
    m_senderLabel = new wxStaticText(mailBox, wxID_ANY, "Sender:");
    mailRow3->Add(m_senderLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_sender = new wxTextCtrl(mailBox, wxID_ANY);
    m_sender->SetHint("corvane-alarm@localhost");
    mailRow3->Add(m_sender, 1, border, 5);
    m_allowPlainLogin = new wxCheckBox(mailBox, wxID_ANY, "Allow plain-text login");
    mailRow3->Add(m_allowPlainLogin, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    mail->Add(mailRow3, 0, wxEXPAND);
    auto* mailRow4 = new wxBoxSizer(wxHORIZONTAL);
    m_caFileLabel = new wxStaticText(mailBox, wxID_ANY, "CA File:");
    mailRow4->Add(m_caFileLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_caFile = new wxTextCtrl(mailBox, wxID_ANY);
    mailRow4->Add(m_caFile, 1, border, 5);
    m_sendTestMail = new wxButton(mailBox, wxID_ANY, "Send test mail");
    mailRow4->Add(m_sendTestMail, 0, border, 5);
    mail->Add(mailRow4, 0, wxEXPAND);
    // Empty until a test mail is sent, but one line high from the start.
    m_testOutcome = new wxStaticText(mailBox, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                     wxSize(-1, GetCharHeight()),
                                     wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    mail->Add(m_testOutcome, 0, wxEXPAND | border, 5);
    top->Add(mail, 0, wxEXPAND | border, 5);

    auto* sms = new wxStaticBoxSizer(wxHORIZONTAL, this, "SMS Setting");
    wxWindow* smsBox = sms->GetStaticBox();
    m_smsToLabel = new wxStaticText(smsBox, wxID_ANY, "SMS To(;):");
    sms->Add(m_smsToLabel, 0, wxALIGN_CENTER_VERTICAL | border, 5);
    m_smsTo = new wxTextCtrl(smsBox, wxID_ANY);
    sms->Add(m_smsTo, 1, border, 5);
    top->Add(sms, 0, wxEXPAND | border, 5);

    m_line = new wxStaticLine(this, wxID_ANY);
    top->Add(m_line, 0, wxEXPAND | border, 5);
    m_buttons = new wxStdDialogButtonSizer();
    m_ok = new wxButton(this, wxID_OK);
    m_buttons->AddButton(m_ok);
    m_cancel = new wxButton(this, wxID_CANCEL);
    m_buttons->AddButton(m_cancel);
    m_buttons->Realize();
    top->Add(m_buttons, 0, wxEXPAND | border, 5);

    // Named after the settings they edit, so that a script can find them.
    const std::pair<wxTextCtrl*, const char*> names[] = {
        {m_soundFile, "SoundFile"}, {m_smtpSvr, "SMTPSvr"}, {m_smtpUsr, "SMTPUsr"},
        {m_smtpPwd, "SMTPPwd"},     {m_mailTo, "MailTo"},   {m_smsTo, "SMSTo"},
        {m_sender, "Sender"},       {m_caFile, "CAFile"}};
    for (const auto& [field, name] : names)
        field->SetName(name);

    SetSizer(top);
    GrowToFit(this);
    Centre(wxBOTH);

    Bind(wxEVT_INIT_DIALOG, &ActionDlg::OnInitDialog, this);
    m_find->Bind(wxEVT_BUTTON, &ActionDlg::OnFindSoundFile, this);
    m_ok->Bind(wxEVT_BUTTON, &ActionDlg::OnOK, this);
    m_sendTestMail->Bind(wxEVT_BUTTON, &ActionDlg::OnSendTestMail, this);
}

ActionDlg::~ActionDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &ActionDlg::OnInitDialog, this);
    m_find->Unbind(wxEVT_BUTTON, &ActionDlg::OnFindSoundFile, this);
    m_ok->Unbind(wxEVT_BUTTON, &ActionDlg::OnOK, this);
    m_sendTestMail->Unbind(wxEVT_BUTTON, &ActionDlg::OnSendTestMail, this);
}
