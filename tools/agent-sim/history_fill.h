#pragma once

#include "tux_domain.h"
#include "wls_domain.h"

#include <wx/string.h>

#include <functional>

class DbAccess;

// Synthetic history written through the console's own recording: a stand-in
// domain moves on one poll per interval from `from` to `to` (seconds since
// the epoch), each poll's report is read by the panel's model and the scan
// is written by DbAccess::RecordTuxScan / RecordWlsScan with that moment's
// RecTime. For the demo's --history and the history benchmarks.
struct HistoryFill
{
    long long scans = 0;
    long long rows = 0;
    wxString error; // empty when every scan was written
};

HistoryFill FillTuxHistory(DbAccess& db, const TuxDomain::Config& domain, long long from,
                           long long to, int intervalSeconds);
HistoryFill FillWlsHistory(DbAccess& db, const WlsDomain::Config& domain, long long from,
                           long long to, int intervalSeconds);

// Runs fill on a copy of the site database at path (created when missing) in
// a memory file system, then puts the copy in its place: each scan is its own
// commit, as in the panels, and ten thousand of them would otherwise wait for
// the disk ten thousand times. The file keeps owner-only permissions.
HistoryFill FillInScratch(const wxString& path, const std::function<HistoryFill(DbAccess&)>& fill);
