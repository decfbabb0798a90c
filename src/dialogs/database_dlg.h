#pragma once

#include <wx/dialog.h>

class wxButton;
class wxStaticLine;
class wxStaticText;
class wxTextCtrl;

// Generated layout of the database settings dialog.
class DatabaseDlg : public wxDialog
{
public:
    DatabaseDlg(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxString& title = "Database Setting", const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxSize(284, 149), long style = wxDEFAULT_DIALOG_STYLE);
    ~DatabaseDlg() override;

protected:
    wxStaticText* m_label;
    wxTextCtrl* m_path;
    wxStaticLine* m_line;
    wxButton* m_ok;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
};
