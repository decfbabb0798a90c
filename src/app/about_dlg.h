#pragma once

#include <wx/dialog.h>

class wxButton;
class wxHyperlinkCtrl;
class wxStaticBitmap;
class wxStaticLine;
class wxStaticText;

// Generated layout of the About box.
class AboutDlg : public wxDialog
{
public:
    AboutDlg(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "About Corvane...",
             const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(311, 254),
             long style = wxDEFAULT_DIALOG_STYLE);

protected:
    wxStaticBitmap* m_bitmap;
    wxStaticText* m_version;
    wxStaticLine* m_line;
    wxStaticText* m_text;
    wxHyperlinkCtrl* m_link;
    wxButton* m_ok;
};

// The maker's web site: the About box's link and the Help menu's first two links.
extern const char* const CorvaneWebSite;
// The vendor's forum page of the Help menu's forum links.
extern const char* const CorvaneForumPage;
