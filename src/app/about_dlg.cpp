#include "app/about_dlg.h"

#include "common/ids.h"
#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/hyperlink.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>

const char* const CorvaneWebSite = "https://corvane.org/";
const char* const CorvaneForumPage =
    "https://forums.oracle.com/forums/category.jspa?categoryID=13";

AboutDlg::AboutDlg(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                   const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, wxEmptyString);
    wxWindow* inside = box->GetStaticBox();

    m_bitmap = new wxStaticBitmap(inside, wxID_ANY, wxNullBitmap, wxDefaultPosition,
                                  wxSize(272, 101));
    box->Add(m_bitmap, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);
    m_version = new wxStaticText(inside, CorvaneId::AboutVersion, "Corvane - Version 3.2",
                                 wxDefaultPosition, wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL);
    box->Add(m_version, 0, wxEXPAND | wxALL, 5);
    m_line = new wxStaticLine(inside, wxID_ANY);
    box->Add(m_line, 0, wxEXPAND | wxALL, 5);
    m_text = new wxStaticText(inside, CorvaneId::AboutLine,
                              "Watching Tuxedo and WebLogic domains, one site at a time.",
                              wxDefaultPosition, wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL);
    box->Add(m_text, 0, wxEXPAND | wxALL, 5);
    m_link = new wxHyperlinkCtrl(inside, wxID_ANY, CorvaneWebSite, CorvaneWebSite);
    box->Add(m_link, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);
    top->Add(box, 1, wxEXPAND | wxALL, 5);

    auto* buttons = new wxStdDialogButtonSizer();
    m_ok = new wxButton(this, wxID_OK);
    buttons->AddButton(m_ok);
    buttons->Realize();
    top->Add(buttons, 0, wxEXPAND | wxALL, 5);
    SetSizer(top);
    GrowToFit(this);
}
