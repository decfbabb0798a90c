#pragma once

#include "store/metrics_settings.h"

#include <wx/dialog.h>

class wxCheckBox;
class wxTextCtrl;

// Settings → Metrics endpoint...: whether the console serves GET /metrics
// for Prometheus, and where. Shows and asks; the frame stores and applies.
class MetricsEndpointDlg : public wxDialog
{
public:
    MetricsEndpointDlg(wxWindow* parent, const MetricsSettings& settings);

    MetricsSettings GetSettings() const;

private:
    void UpdateEnabled();

    wxCheckBox* m_enabled;
    wxTextCtrl* m_address;
    wxTextCtrl* m_port;
};
