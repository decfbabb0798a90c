#pragma once

#include <wx/dialog.h>
#include <wx/listctrl.h>

class wxButton;
class wxCheckBox;
class wxStaticLine;

// Generated layout of the site list.
class SiteListDlg : public wxDialog
{
public:
    SiteListDlg(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxString& title = "Monitor Sites List", const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxSize(524, 221), long style = wxDEFAULT_DIALOG_STYLE);
    ~SiteListDlg() override;

protected:
    wxListCtrl* m_list;
    wxStaticLine* m_line;
    wxCheckBox* m_deleteDb;
    wxButton* m_add;
    wxButton* m_modify;
    wxButton* m_delete;
    wxButton* m_connect;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
    virtual void OnItemSelected(wxListEvent& event) { event.Skip(); }
    virtual void OnAdd(wxCommandEvent& event) { event.Skip(); }
    virtual void OnModify(wxCommandEvent& event) { event.Skip(); }
    virtual void OnDelete(wxCommandEvent& event) { event.Skip(); }
    virtual void OnConnect(wxCommandEvent& event) { event.Skip(); }
};
