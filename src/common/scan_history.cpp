#include "common/scan_history.h"

wxString RecordScanHistory(bool recording, const std::function<bool()>& write,
                           const std::function<wxString()>& lastError)
{
    if (!recording || write())
        return wxString();
    wxString reason = lastError ? lastError() : wxString();
    reason.Replace("\n", " ");
    return "History not recorded: " + (reason.empty() ? wxString("unknown error") : reason);
}
