#pragma once

#include "dialogs/database_dlg.h"

// Tells the operator where the configuration database lives; changes nothing.
// Shown modeless, a new one for every command, gone once closed.
class HalvexDatabaseDlg : public DatabaseDlg
{
public:
    explicit HalvexDatabaseDlg(wxWindow* parent);

    wxString GetShownPath() const;

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
};
