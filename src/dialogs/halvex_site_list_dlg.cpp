#include "dialogs/halvex_site_list_dlg.h"

#include "common/program_dir.h"
#include "common/prompt.h"
#include "dialogs/halvex_new_site_dlg.h"

#include <wx/checkbox.h>

HalvexSiteListDlg::HalvexSiteListDlg(wxWindow* parent) : SiteListDlg(parent)
{
    m_db.Open(ConfigDbPath(), DbAccess::ConfigDb);
}

HalvexSiteListDlg::~HalvexSiteListDlg()
{
    m_db.Close();
}

SiteRecord HalvexSiteListDlg::GetSelectedSite() const
{
    return HasSelection() ? m_sites[m_selected] : SiteRecord();
}

void HalvexSiteListDlg::OnInitDialog(wxInitDialogEvent&)
{
    const char* headers[] = {"SiteName", "SiteType",   "SiteIP",  "SitePort",
                             "WlsPort",  "WlsUser", "WlsVersion", "Database"};
    for (int i = 0; i < 8; ++i)
        m_list->InsertColumn(i, headers[i]);
    Refresh();
}

void HalvexSiteListDlg::Refresh()
{
    if (m_db.LoadSites() == 1)
        m_sites = m_db.Sites();

    m_list->Hide();
    m_list->DeleteAllItems();
    for (size_t i = 0; i < m_sites.size(); ++i)
    {
        const SiteRecord& s = m_sites[i];
        const long row = m_list->InsertItem(long(i), s.SiteName);
        m_list->SetItemData(row, long(i));
        m_list->SetItem(row, 1, s.SiteType);
        m_list->SetItem(row, 2, s.SiteIP);
        m_list->SetItem(row, 3, s.SitePort);
        m_list->SetItem(row, 4, s.WlsAdminURL);
        m_list->SetItem(row, 5, s.SiteAuth);
        m_list->SetItem(row, 6, s.WlsVer);
        m_list->SetItem(row, 7, s.DatabaseFile);
    }
    for (int c = 0; c < m_list->GetColumnCount(); ++c)
    {
        // The larger of header and content.
        m_list->SetColumnWidth(c, wxLIST_AUTOSIZE_USEHEADER);
        const int header = m_list->GetColumnWidth(c);
        m_list->SetColumnWidth(c, wxLIST_AUTOSIZE);
        if (m_list->GetColumnWidth(c) < header)
            m_list->SetColumnWidth(c, header);
    }
    m_list->Show();
    Layout();
    m_selected = -1;
}

void HalvexSiteListDlg::OnItemSelected(wxListEvent& event)
{
    m_selected = int(event.GetIndex());
}

void HalvexSiteListDlg::OnAdd(wxCommandEvent&)
{
    HalvexNewSiteDlg editor(this);
    if (editor.ShowModal() != 1)
        return;
    const SiteRecord site = editor.GetSite();
    for (const SiteRecord& existing : m_sites)
    {
        if (existing.SiteName == site.SiteName)
        {
            ShowMessage("There is another site with the same Name!");
            return;
        }
    }
    m_db.InsertSite(site);
    Refresh();
}

void HalvexSiteListDlg::OnModify(wxCommandEvent&)
{
    if (!HasSelection())
    {
        ShowMessage("You haven't choose any one!");
        return;
    }
    HalvexNewSiteDlg editor(this);
    editor.SetSite(m_sites[m_selected]);
    if (editor.ShowModal() != 1)
        return;
    const SiteRecord edited = editor.GetSite();
    const SiteRecord old = m_sites[m_selected];
    if (m_db.DeleteSite(old, false, true) < 0)
        return; // the store said why; nothing changed
    if (m_db.InsertSite(edited) != 1)
        m_db.InsertSite(old); // the store reported why; the site must not vanish
    Refresh();
}

void HalvexSiteListDlg::OnDelete(wxCommandEvent&)
{
    if (!HasSelection())
    {
        ShowMessage("You haven't choose any one!");
        return;
    }
    if (ShowMessage("Are you sure you want to DELETE this site?", "Halvex", wxYES_NO, this) != wxYES)
        return;
    // The list follows the store: a refused delete (reported) keeps the row.
    if (m_db.DeleteSite(m_sites[m_selected], m_deleteDb->GetValue()) < 0)
        return;
    m_list->DeleteItem(m_selected);
    m_sites.erase(m_sites.begin() + m_selected);
    m_selected = -1;
}

void HalvexSiteListDlg::OnConnect(wxCommandEvent&)
{
    if (!HasSelection())
    {
        ShowMessage("You Must choose one site!");
        return;
    }
    EndModal(1);
}
