#pragma once

#include "alarm/action_dlg.h"
#include "store/db_access.h"
#include "store/records.h"

struct MailOutcome;

// The one set of alarm action settings shared by all sites: read when the
// dialog opens, rewritten on OK. Panels already open keep the copy they read.
// "Send test mail" sends one mail with the values on screen and shows how it
// went, while the dialog stays usable.
class CorvaneActionDlg : public ActionDlg
{
public:
    explicit CorvaneActionDlg(wxWindow* parent);
    ~CorvaneActionDlg() override;

    // The outcome line of the test mail, as shown.
    wxString TestOutcomeText() const;

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnFindSoundFile(wxCommandEvent& event) override;
    void OnOK(wxCommandEvent& event) override;
    void OnSendTestMail(wxCommandEvent& event) override;

private:
    ActionSettings OnScreen() const;
    void ShowTestOutcome(const wxString& text);

    DbAccess m_db;
    ActionSettings m_settings;
};
