#include "dialogs/database_dlg.h"

#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

DatabaseDlg::DatabaseDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                         const wxPoint& pos, const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    m_label = new wxStaticText(this, wxID_ANY, "Database:");
    top->Add(m_label, 0, wxALL, 5);
    m_path = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                            wxTE_MULTILINE | wxTE_READONLY);
    top->Add(m_path, 1, wxEXPAND | wxALL, 5);
    m_line = new wxStaticLine(this, wxID_ANY);
    top->Add(m_line, 0, wxEXPAND | wxALL, 5);
    auto* buttons = new wxStdDialogButtonSizer();
    m_ok = new wxButton(this, wxID_OK);
    buttons->AddButton(m_ok);
    buttons->Realize();
    top->Add(buttons, 0, wxEXPAND | wxALL, 5);
    SetSizer(top);
    GrowToFit(this);

    Bind(wxEVT_INIT_DIALOG, &DatabaseDlg::OnInitDialog, this);
}

DatabaseDlg::~DatabaseDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &DatabaseDlg::OnInitDialog, this);
}
