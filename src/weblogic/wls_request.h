#pragma once

#include "store/records.h"

#include <wx/string.h>

// The documents the console sends to a WebLogic agent: the request document
// with command '^' at Start and the thread-dump document with command 'a'.
// Both are one line, no line breaks anywhere.

// The fixed, ordered attribute tables of the request document.
namespace WlsAttributes
{
extern const char* const Jvm[];          // JVMRuntime, 9 names
extern const char* const Server[];       // ServerRuntime, 8 names
extern const char* const ExecuteQueue[]; // ExecuteQueueRuntime (WebLogic 8), 5 names
extern const char* const ThreadPool[];   // ThreadPoolRuntime (WebLogic 9/10), 7 names
extern const char* const Jdbc[];         // JDBC pools, 6 names
// Each table ends with an empty string.
} // namespace WlsAttributes

// A site is a WebLogic 8 site when its version text contains "V8"; anything
// else, empty included, is WebLogic 9/10. The report parser uses the same test.
bool IsWls8(const wxString& wlsVer);

// & < > and " as entities, so a site value can neither break the document
// nor add elements to it; an agent reads back exactly the typed value.
wxString EscapeXmlAttribute(const wxString& value);

// The request document for the site's domain and version.
wxString BuildWlsRequest(const SiteRecord& site);

// The thread-dump document around the dump lines of one scan (possibly none).
wxString BuildThreadDumpRequest(const wxString& dumpLines);

// One Server element of a thread-dump document: JDBC alarms ask for three
// dumps, thread alarms for two. Values are escaped as above.
wxString JdbcDumpLine(const wxString& name, const wxString& url, const wxString& port);
wxString ThreadDumpLine(const wxString& name, const wxString& url, const wxString& port);
