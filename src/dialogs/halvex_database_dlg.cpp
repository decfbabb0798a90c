#include "dialogs/halvex_database_dlg.h"

#include "common/program_dir.h"
#include "common/window_fit.h"

#include <wx/textctrl.h>

HalvexDatabaseDlg::HalvexDatabaseDlg(wxWindow* parent) : DatabaseDlg(parent)
{
    DestroyWhenDismissed(this);
}

void HalvexDatabaseDlg::OnInitDialog(wxInitDialogEvent&)
{
    m_path->Clear();
    m_path->WriteText(ConfigDbPath());
}

wxString HalvexDatabaseDlg::GetShownPath() const
{
    return m_path->GetValue();
}
