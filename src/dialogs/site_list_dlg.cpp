#include "dialogs/site_list_dlg.h"

#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statline.h>

SiteListDlg::SiteListDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                         const wxPoint& pos, const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                            wxLC_REPORT | wxLC_HRULES | wxLC_VRULES);
    // The list scrolls: its columns must not widen the dialog.
    m_list->SetMinSize(wxSize(200, 60));
    top->Add(m_list, 1, wxEXPAND | wxALL, 5);
    m_line = new wxStaticLine(this, wxID_ANY);
    top->Add(m_line, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    m_deleteDb = new wxCheckBox(this, wxID_ANY, "Delete db when delete site");
    row->Add(m_deleteDb, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row->AddStretchSpacer();
    m_add = new wxButton(this, wxID_ANY, "Add");
    row->Add(m_add, 0, wxALL, 5);
    m_modify = new wxButton(this, wxID_ANY, "Modify");
    row->Add(m_modify, 0, wxALL, 5);
    m_delete = new wxButton(this, wxID_ANY, "Delete");
    row->Add(m_delete, 0, wxALL, 5);
    m_connect = new wxButton(this, wxID_ANY, "Connect");
    row->Add(m_connect, 0, wxALL, 5);
    top->Add(row, 0, wxEXPAND);

    SetSizer(top);
    GrowToFit(this);

    Bind(wxEVT_INIT_DIALOG, &SiteListDlg::OnInitDialog, this);
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &SiteListDlg::OnItemSelected, this);
    m_add->Bind(wxEVT_BUTTON, &SiteListDlg::OnAdd, this);
    m_modify->Bind(wxEVT_BUTTON, &SiteListDlg::OnModify, this);
    m_delete->Bind(wxEVT_BUTTON, &SiteListDlg::OnDelete, this);
    m_connect->Bind(wxEVT_BUTTON, &SiteListDlg::OnConnect, this);
}

SiteListDlg::~SiteListDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &SiteListDlg::OnInitDialog, this);
    m_list->Unbind(wxEVT_LIST_ITEM_SELECTED, &SiteListDlg::OnItemSelected, this);
    m_add->Unbind(wxEVT_BUTTON, &SiteListDlg::OnAdd, this);
    m_modify->Unbind(wxEVT_BUTTON, &SiteListDlg::OnModify, this);
    m_delete->Unbind(wxEVT_BUTTON, &SiteListDlg::OnDelete, this);
    m_connect->Unbind(wxEVT_BUTTON, &SiteListDlg::OnConnect, this);
}
