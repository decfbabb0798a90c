#include "support/modal.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace
{
std::vector<wxDialog*> ModalDialogs()
{
    std::vector<wxDialog*> found;
    for (wxWindow* w : wxTopLevelWindows)
    {
        // Not wxDynamicCast: its macro casts to wxDialog* before checking the
        // class, which is undefined for a frame (UBSan stops there).
        auto* dialog = dynamic_cast<wxDialog*>(w);
        if (dialog && dialog->IsModal())
            found.push_back(dialog);
    }
    return found;
}

// Cancels a dialog that is still modal when the time is up.
class Watchdog : public wxTimer
{
public:
    explicit Watchdog(wxDialog& dialog) : m_dialog(dialog) {}
    void Notify() override
    {
        if (!m_dialog.IsModal())
            return;
        // Dialogs opened on top of it must end first, or its loop never returns.
        std::vector<wxDialog*> open = ModalDialogs();
        for (auto it = open.rbegin(); it != open.rend(); ++it)
        {
            ADD_FAILURE() << "dialog \"" << (*it)->GetTitle().utf8_str().data()
                          << "\" was left open by the test";
            (*it)->EndModal(wxID_CANCEL);
        }
    }

private:
    wxDialog& m_dialog;
};

} // namespace

int RunModal(wxDialog& dialog, std::function<void()> script, int timeoutMs)
{
    Watchdog watchdog(dialog);
    watchdog.StartOnce(timeoutMs);
    dialog.CallAfter(std::move(script));
    return dialog.ShowModal();
}

void OnNextModal(std::function<void(wxDialog&)> script, int timeoutMs)
{
    // The dialogs already modal now are the openers, not the one awaited.
    const std::vector<wxDialog*> before = ModalDialogs();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto attempt = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> self = attempt;
    *attempt = [script, before, deadline, self]()
    {
        for (wxDialog* dialog : ModalDialogs())
        {
            if (std::find(before.begin(), before.end(), dialog) == before.end())
            {
                script(*dialog);
                return;
            }
        }
        if (std::chrono::steady_clock::now() > deadline)
        {
            ADD_FAILURE() << "no modal dialog opened";
            return;
        }
        if (auto next = self.lock())
            wxTheApp->CallAfter([next] { (*next)(); });
    };
    wxTheApp->CallAfter([attempt] { (*attempt)(); });
}

void Click(wxWindow* button)
{
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}
