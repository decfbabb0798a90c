#pragma once

#include <wx/string.h>

class wxTextCtrl;

// Log areas of the monitor panels: writes always go to the end, and a warning
// line is the UTC+8 prefix "[%y-%m-%d %X]: [WARN]: " followed by its text.
void AppendLog(wxTextCtrl* area, const wxString& text);
void AppendWarn(wxTextCtrl* area, const wxString& text, bool lineBreak = true);
