#pragma once

#include "app/about_dlg.h"

// The About box: shown modeless, a new one for every command, gone once closed.
class HalvexAbout : public AboutDlg
{
public:
    explicit HalvexAbout(wxWindow* parent);
    wxString GetVersionText() const;
};
