#include "common/window_fit.h"

#include <wx/dialog.h>
#include <wx/sizer.h>

#include <algorithm>

void GrowToFit(wxWindow* window)
{
    const wxSize designed = window->GetSize();
    const wxSize needed = window->GetSizer()->ComputeFittingWindowSize(window);
    const wxSize size(std::max(designed.x, needed.x), std::max(designed.y, needed.y));
    window->SetMinSize(window->IsTopLevel() ? size : needed);
    window->SetSize(size);
    window->Layout();
}

void DestroyWhenDismissed(wxDialog* dialog)
{
    // The close box ends in the close event; OK (which Escape also clicks)
    // would only hide a modeless dialog.
    dialog->Bind(wxEVT_CLOSE_WINDOW, [dialog](wxCloseEvent&) { dialog->Destroy(); });
    dialog->Bind(wxEVT_BUTTON,
                 [dialog](wxCommandEvent& event)
                 {
                     if (event.GetId() == dialog->GetAffirmativeId() && !dialog->IsModal())
                         dialog->Destroy();
                     else
                         event.Skip();
                 });
}
