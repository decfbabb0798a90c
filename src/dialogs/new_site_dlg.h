#pragma once

#include <wx/dialog.h>

class wxButton;
class wxChoice;
class wxStaticLine;
class wxStaticText;
class wxTextCtrl;

// Generated layout of the site editor.
class NewSiteDlg : public wxDialog
{
public:
    NewSiteDlg(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "Create New Site",
               const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(408, 345),
               long style = wxDEFAULT_DIALOG_STYLE);
    ~NewSiteDlg() override;

protected:
    wxStaticText* m_nameLabel;
    wxTextCtrl* m_name;
    wxChoice* m_type;
    wxStaticText* m_ipLabel;
    wxTextCtrl* m_ip;
    wxStaticText* m_portLabel;
    wxTextCtrl* m_port;
    wxStaticText* m_databaseLabel;
    wxTextCtrl* m_database;
    wxStaticText* m_versionLabel;
    wxChoice* m_version;
    wxStaticText* m_consolePortLabel;
    wxTextCtrl* m_consolePort;
    wxStaticText* m_consoleUserLabel;
    wxTextCtrl* m_consoleUser;
    wxStaticText* m_consolePwdLabel;
    wxTextCtrl* m_consolePwd;
    wxStaticLine* m_line;
    wxButton* m_ok;
    wxButton* m_cancel;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
    virtual void OnLeaveName(wxMouseEvent& event) { event.Skip(); }
    virtual void OnTypeChanged(wxCommandEvent& event) { event.Skip(); }
    virtual void OnOK(wxCommandEvent& event) { event.Skip(); }
};
