#pragma once

#include "dialogs/new_site_dlg.h"
#include "store/records.h"

// The site editor: shows one site, validates the operator's input on OK and
// writes it back into the record; it never touches the database.
class HalvexNewSiteDlg : public NewSiteDlg
{
public:
    explicit HalvexNewSiteDlg(wxWindow* parent);

    void SetSite(const SiteRecord& site) { m_site = site; }
    SiteRecord GetSite() const { return m_site; }

    // The stored version texts, in the order of the version choice.
    static const wxString VersionTable[];

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnTypeChanged(wxCommandEvent& event) override;
    void OnOK(wxCommandEvent& event) override;

private:
    void EnableWebLogicFields(bool enable);

    int m_editing = 0; // 0 new site, 1 existing site
    SiteRecord m_site;
};
