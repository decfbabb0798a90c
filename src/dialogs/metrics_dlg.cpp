#include "dialogs/metrics_dlg.h"

#include "common/window_fit.h"
#include "store/records.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

MetricsEndpointDlg::MetricsEndpointDlg(wxWindow* parent, const MetricsSettings& settings)
    : wxDialog(parent, wxID_ANY, "Metrics endpoint")
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    m_enabled = new wxCheckBox(this, wxID_ANY, "Serve GET /metrics for Prometheus");
    m_enabled->SetValue(FlagOn(settings.Enabled));
    top->Add(m_enabled, 0, wxALL, 5);

    auto* grid = new wxFlexGridSizer(2, 5, 5);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(this, wxID_ANY, "Address:"), 0, wxALIGN_CENTER_VERTICAL);
    m_address = new wxTextCtrl(this, wxID_ANY, settings.Address);
    grid->Add(m_address, 1, wxEXPAND);
    grid->Add(new wxStaticText(this, wxID_ANY, "Port:"), 0, wxALIGN_CENTER_VERTICAL);
    m_port = new wxTextCtrl(this, wxID_ANY, settings.Port);
    grid->Add(m_port, 1, wxEXPAND);
    top->Add(grid, 0, wxEXPAND | wxALL, 5);
    top->Add(new wxStaticText(this, wxID_ANY,
                              "127.0.0.1 serves this machine only; 0.0.0.0 serves the network."),
             0, wxALL, 5);

    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 5);
    SetSizer(top);
    GrowToFit(this);

    m_enabled->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { UpdateEnabled(); });
    UpdateEnabled();
}

void MetricsEndpointDlg::UpdateEnabled()
{
    m_address->Enable(m_enabled->GetValue());
    m_port->Enable(m_enabled->GetValue());
}

MetricsSettings MetricsEndpointDlg::GetSettings() const
{
    MetricsSettings settings;
    settings.Enabled = m_enabled->GetValue() ? "TRUE" : "";
    settings.Address = m_address->GetValue();
    settings.Port = m_port->GetValue();
    return settings;
}
