#include "common/log_area.h"

#include "common/clock.h"

#include <wx/textctrl.h>

void AppendLog(wxTextCtrl* area, const wxString& text)
{
    if (!area)
        return;
    area->SetInsertionPointEnd();
    area->AppendText(text);
}

void AppendWarn(wxTextCtrl* area, const wxString& text, bool lineBreak)
{
    AppendLog(area, WarnPrefix() + text + (lineBreak ? "\n" : ""));
}
