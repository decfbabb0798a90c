#pragma once

#include "alarm/action_dlg.h"
#include "store/db_access.h"
#include "store/records.h"

// The one set of alarm action settings shared by all sites: read when the
// dialog opens, rewritten on OK. Panels already open keep the copy they read.
class CorvaneActionDlg : public ActionDlg
{
public:
    explicit CorvaneActionDlg(wxWindow* parent);
    ~CorvaneActionDlg() override;

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnFindSoundFile(wxCommandEvent& event) override;
    void OnOK(wxCommandEvent& event) override;

private:
    DbAccess m_db;
    ActionSettings m_settings;
};
