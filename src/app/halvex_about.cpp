#include "app/halvex_about.h"

#include "app/images.h"
#include "common/launcher.h"

#include <wx/hyperlink.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

HalvexAbout::HalvexAbout(wxWindow* parent) : AboutDlg(parent)
{
    GetSizer()->Fit(this);
    m_version->SetLabel("Corvane - Version 3.3.0.9");
    m_bitmap->SetBitmap(SplashBitmap());
    // Opens through the same launcher as the Help menu's links.
    m_link->Bind(wxEVT_HYPERLINK, [](wxHyperlinkEvent& e) { LaunchWebPage(e.GetURL()); });
    Layout();
    GetSizer()->Fit(this);
}

wxString HalvexAbout::GetVersionText() const
{
    return m_version->GetLabel();
}
