#pragma once

#include <functional>

class wxDialog;
class wxWindow;

// Runs dialog.ShowModal() with `script` executed inside its modal loop, as an
// operator would act on the shown dialog. A dialog the script leaves open is
// cancelled after timeoutMs (and the test fails), so no test can hang.
int RunModal(wxDialog& dialog, std::function<void()> script, int timeoutMs = 5000);

// Schedules `script` to run inside the next modal dialog that opens (for a
// dialog opened by a button of another dialog); the script receives it.
void OnNextModal(std::function<void(wxDialog&)> script, int timeoutMs = 5000);

// A click on a button (or any control that sends wxEVT_BUTTON).
void Click(wxWindow* button);

#include <wx/window.h>

#include <vector>

// The descendants of a window that are of type T, in creation order: lets a
// test reach the controls of a dialog it did not create itself.
template <typename T> std::vector<T*> Descendants(wxWindow* root)
{
    std::vector<T*> found;
    for (wxWindow* child : root->GetChildren())
    {
        if (auto* match = dynamic_cast<T*>(child))
            found.push_back(match);
        const std::vector<T*> deeper = Descendants<T>(child);
        found.insert(found.end(), deeper.begin(), deeper.end());
    }
    return found;
}
