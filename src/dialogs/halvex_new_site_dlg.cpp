#include "dialogs/halvex_new_site_dlg.h"

#include "common/program_dir.h"
#include "common/prompt.h"

#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/textctrl.h>

const wxString HalvexNewSiteDlg::VersionTable[] = {"WebLogic V8", "WebLogic V9", "WebLogic V10",
                                                   ""};

HalvexNewSiteDlg::HalvexNewSiteDlg(wxWindow* parent) : NewSiteDlg(parent) {}

void HalvexNewSiteDlg::EnableWebLogicFields(bool enable)
{
    m_consoleUser->Enable(enable);
    m_consolePort->Enable(enable);
    m_version->Enable(enable);
    m_consolePwd->Enable(enable);
}

void HalvexNewSiteDlg::OnInitDialog(wxInitDialogEvent&)
{
    m_name->ChangeValue(m_site.SiteName);
    m_ip->ChangeValue(m_site.SiteIP);
    m_port->ChangeValue(m_site.SitePort);
    m_editing = m_site.SiteName.empty() ? 0 : 1;
    m_database->ChangeValue(m_site.DatabaseFile);

    if (m_site.SiteType == "TUXEDO")
    {
        m_type->SetSelection(0);
        EnableWebLogicFields(false);
    }
    else if (m_site.SiteType == "WEBLOGIC")
    {
        m_type->SetSelection(1);
        m_consoleUser->ChangeValue(m_site.SiteAuth);
        m_consolePort->ChangeValue(m_site.WlsAdminURL);
        m_consolePwd->ChangeValue(m_site.SitePwd);
        for (int i = 0; !VersionTable[i].empty(); ++i)
        {
            if (VersionTable[i] == m_site.WlsVer)
            {
                m_version->SetSelection(i);
                break;
            }
        }
    }
    else
    {
        m_type->SetSelection(0);
        EnableWebLogicFields(false);
    }

    if (!m_site.SiteName.empty())
    {
        m_name->Disable();
        m_type->Disable();
    }
}

void HalvexNewSiteDlg::OnTypeChanged(wxCommandEvent&)
{
    if (m_type->GetSelection() == 0)
    {
        m_consoleUser->Clear();
        m_consolePort->Clear();
        EnableWebLogicFields(false); // the password is kept, only disabled
    }
    else
    {
        EnableWebLogicFields(true);
    }
}

void HalvexNewSiteDlg::OnOK(wxCommandEvent&)
{
    const bool webLogic = m_type->GetSelection() == 1;
    if (m_name->GetValue().empty())
    {
        ShowMessage("Must Input Name!!");
        return;
    }
    if (m_ip->GetValue().empty() || m_port->GetValue().empty())
    {
        ShowMessage("IP and PORT not set!!");
        return;
    }
    if (webLogic && (m_consoleUser->GetValue().empty() || m_consolePort->GetValue().empty()))
    {
        ShowMessage("WebLogic User/Pwd  or Admin URL not set!!");
        return;
    }
    // A new site's database file is named after it: it must stay a file of
    // its own beside the program (a site "Corvane" would be Corvane.db).
    if (m_editing == 0 && !IsSiteDatabaseFile(m_name->GetValue() + ".db"))
    {
        ShowMessage(wxString::Format("The Name can't contain %s or be Corvane: its database file "
                                     "[%s] must be a file of its own in the program directory!!",
                                     wxFileName::GetPathSeparators(), m_name->GetValue() + ".db"));
        return;
    }

    m_site.SiteName = m_name->GetValue();
    m_site.SiteIP = m_ip->GetValue();
    m_site.SitePort = m_port->GetValue();
    m_site.SiteType = webLogic ? "WEBLOGIC" : "TUXEDO";
    m_site.SiteAuth = m_consoleUser->GetValue();
    m_site.WlsAdminURL = m_consolePort->GetValue();
    m_site.SitePwd = m_consolePwd->GetValue();
    if (webLogic && m_version->GetSelection() >= 0 && m_version->GetSelection() < 3)
        m_site.WlsVer = VersionTable[m_version->GetSelection()];
    m_site.DatabaseFile = m_editing == 0 ? m_name->GetValue() + ".db" : m_database->GetValue();

    EndModal(1);
}
