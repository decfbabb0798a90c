#pragma once

#include <wx/string.h>

// The console's metrics endpoint, kept in a table of its own of the
// configuration database, MetricsSet (one row), made when missing. Without a
// row the endpoint is off.
struct MetricsSettings
{
    wxString Enabled;             // "TRUE": serve /metrics while the console runs
    wxString Address = "127.0.0.1";
    wxString Port = "9464";

    bool operator==(const MetricsSettings& o) const
    {
        return Enabled == o.Enabled && Address == o.Address && Port == o.Port;
    }
};

// Reads the stored row into settings; a missing file, table or row leaves
// the defaults. False, with SQLite's message in error, when the file could
// not be read.
bool LoadMetricsSettings(const wxString& configPath, MetricsSettings& settings, wxString* error = nullptr);

// Replaces the stored row, in one transaction. False, with SQLite's message
// in error, on failure (the old row stays).
bool SaveMetricsSettings(const wxString& configPath, const MetricsSettings& settings,
                         wxString* error = nullptr);
