#include "app/halvex_about.h"

#include "app/images.h"
#include "common/launcher.h"
#include "common/window_fit.h"

#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

HalvexAbout::HalvexAbout(wxWindow* parent) : AboutDlg(parent)
{
    m_version->SetLabel("Corvane - Version 3.3.0.9");
    m_bitmap->SetBitmap(SplashBitmap());
    // Opens through the same launcher as the Help menu's links.
    m_link->Bind(wxEVT_HYPERLINK, [](wxHyperlinkEvent& e) { LaunchWebPage(e.GetURL()); });
    GrowToFit(this);
    DestroyWhenDismissed(this);
}

wxString HalvexAbout::GetVersionText() const
{
    return m_version->GetLabel();
}
