#pragma once

#include "dialogs/database_dlg.h"

// Tells the operator where the configuration database lives; changes nothing.
class HalvexDatabaseDlg : public DatabaseDlg
{
public:
    explicit HalvexDatabaseDlg(wxWindow* parent) : DatabaseDlg(parent) {}

    wxString GetShownPath() const;

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
};
