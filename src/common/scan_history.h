#pragma once

#include <wx/string.h>

#include <functional>

// The history hand-off of one scan, shared by the monitor panels. Runs on the
// scan thread. When recording is on, write() stores the whole scan (a
// DbAccess::Record*Scan call: one transaction, one time stamp) and answers
// false on failure; the result is then the text of the one warning line the
// panel writes to its log on the GUI thread, naming SQLite's message from
// lastError(). Empty when recording is off or the rows were written.
//
//   view.warning = RecordScanHistory(recording,
//       [&] { return db.RecordTuxScan(queues, servers, clients, RecTimeNow()); },
//       [&] { return db.LastError(); });
wxString RecordScanHistory(bool recording, const std::function<bool()>& write,
                           const std::function<wxString()>& lastError);
