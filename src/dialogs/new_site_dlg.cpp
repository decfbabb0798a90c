#include "dialogs/new_site_dlg.h"

#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

NewSiteDlg::NewSiteDlg(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                       const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* agent = new wxStaticBoxSizer(wxVERTICAL, this, "Agent Setting");
    wxWindow* agentBox = agent->GetStaticBox();

    auto* row1 = new wxBoxSizer(wxHORIZONTAL);
    m_nameLabel = new wxStaticText(agentBox, wxID_ANY, "Name(*):");
    row1->Add(m_nameLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_name = new wxTextCtrl(agentBox, wxID_ANY);
    row1->Add(m_name, 1, wxALL, 5);
    const wxString types[] = {"Tuxedo", "WebLogic"};
    m_type = new wxChoice(agentBox, wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, types);
    m_type->SetSelection(1);
    row1->Add(m_type, 0, wxALL, 5);
    agent->Add(row1, 0, wxEXPAND);

    auto* row2 = new wxBoxSizer(wxHORIZONTAL);
    m_ipLabel = new wxStaticText(agentBox, wxID_ANY, "Agent IP:");
    row2->Add(m_ipLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_ip = new wxTextCtrl(agentBox, wxID_ANY);
    row2->Add(m_ip, 2, wxALL, 5);
    m_portLabel = new wxStaticText(agentBox, wxID_ANY, "Port:");
    row2->Add(m_portLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_port = new wxTextCtrl(agentBox, wxID_ANY);
    m_port->SetMaxLength(5);
    row2->Add(m_port, 1, wxALL, 5);
    agent->Add(row2, 0, wxEXPAND);

    auto* row3 = new wxBoxSizer(wxHORIZONTAL);
    m_databaseLabel = new wxStaticText(agentBox, wxID_ANY, "Database:");
    row3->Add(m_databaseLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_database = new wxTextCtrl(agentBox, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                wxDefaultSize, wxTE_READONLY);
    m_database->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    row3->Add(m_database, 1, wxALL, 5);
    agent->Add(row3, 0, wxEXPAND);
    top->Add(agent, 0, wxEXPAND | wxALL, 5);

    auto* wls = new wxStaticBoxSizer(wxVERTICAL, this, "WebLogic");
    wxWindow* wlsBox = wls->GetStaticBox();
    auto* grid = new wxFlexGridSizer(2, 0, 0);
    grid->AddGrowableCol(1);
    m_versionLabel = new wxStaticText(wlsBox, wxID_ANY, "WebLogicServer Version:");
    grid->Add(m_versionLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    const wxString versions[] = {"WebLogic 8.x", "WebLogic 9.x", "WebLogic 10.x"};
    m_version = new wxChoice(wlsBox, wxID_ANY, wxDefaultPosition, wxDefaultSize, 3, versions);
    m_version->SetSelection(0);
    grid->Add(m_version, 0, wxALL, 5);
    m_consolePortLabel = new wxStaticText(wlsBox, wxID_ANY, "WebLogic Console Port:");
    grid->Add(m_consolePortLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_consolePort = new wxTextCtrl(wlsBox, wxID_ANY);
    grid->Add(m_consolePort, 1, wxEXPAND | wxALL, 5);
    m_consoleUserLabel = new wxStaticText(wlsBox, wxID_ANY, "WebLogic Console User:");
    grid->Add(m_consoleUserLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_consoleUser = new wxTextCtrl(wlsBox, wxID_ANY);
    grid->Add(m_consoleUser, 1, wxEXPAND | wxALL, 5);
    m_consolePwdLabel = new wxStaticText(wlsBox, wxID_ANY, "WebLogic Console Pwd:");
    grid->Add(m_consolePwdLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_consolePwd = new wxTextCtrl(wlsBox, wxID_ANY); // shown in clear, as designed
    grid->Add(m_consolePwd, 1, wxEXPAND | wxALL, 5);
    wls->Add(grid, 1, wxEXPAND);
    top->Add(wls, 1, wxEXPAND | wxALL, 5);

    m_line = new wxStaticLine(this, wxID_ANY);
    top->Add(m_line, 0, wxEXPAND | wxALL, 5);
    auto* buttons = new wxStdDialogButtonSizer();
    m_ok = new wxButton(this, wxID_OK);
    buttons->AddButton(m_ok);
    m_cancel = new wxButton(this, wxID_CANCEL);
    buttons->AddButton(m_cancel);
    buttons->Realize();
    top->Add(buttons, 0, wxEXPAND | wxALL, 5);

    SetSizer(top);
    GrowToFit(this);
    Centre(wxBOTH);

    Bind(wxEVT_INIT_DIALOG, &NewSiteDlg::OnInitDialog, this);
    m_name->Bind(wxEVT_LEAVE_WINDOW, &NewSiteDlg::OnLeaveName, this);
    m_type->Bind(wxEVT_CHOICE, &NewSiteDlg::OnTypeChanged, this);
    m_ok->Bind(wxEVT_BUTTON, &NewSiteDlg::OnOK, this);
}

NewSiteDlg::~NewSiteDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &NewSiteDlg::OnInitDialog, this);
    m_name->Unbind(wxEVT_LEAVE_WINDOW, &NewSiteDlg::OnLeaveName, this);
    m_type->Unbind(wxEVT_CHOICE, &NewSiteDlg::OnTypeChanged, this);
    m_ok->Unbind(wxEVT_BUTTON, &NewSiteDlg::OnOK, this);
}
