#pragma once

#include "dialogs/site_list_dlg.h"
#include "store/db_access.h"
#include "store/records.h"

#include <vector>

// The site list: add, modify, delete and pick the site to monitor. A row of
// the list and the element of m_sites at the same position are one site.
class HalvexSiteListDlg : public SiteListDlg
{
public:
    explicit HalvexSiteListDlg(wxWindow* parent);
    ~HalvexSiteListDlg() override;

    // The site chosen with Connect (valid after the modal run returned 1).
    SiteRecord GetSelectedSite() const;
    int GetSelection() const { return m_selected; }
    const std::vector<SiteRecord>& GetSites() const { return m_sites; }

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnItemSelected(wxListEvent& event) override;
    void OnAdd(wxCommandEvent& event) override;
    void OnModify(wxCommandEvent& event) override;
    void OnDelete(wxCommandEvent& event) override;
    void OnConnect(wxCommandEvent& event) override;

private:
    void Refresh();
    bool HasSelection() const { return m_selected >= 0 && m_selected < int(m_sites.size()); }

    int m_selected = -1;
    DbAccess m_db;
    std::vector<SiteRecord> m_sites;
};
