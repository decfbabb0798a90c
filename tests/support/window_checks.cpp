#include "support/window_checks.h"

#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

namespace
{
std::string Describe(wxWindow* w, const wxRect& r)
{
    return wxString::Format("%s \"%s\" (%d,%d %dx%d)", w->GetClassInfo()->GetClassName(),
                            w->GetLabel(), r.x, r.y, r.width, r.height)
        .utf8_str()
        .data();
}

// The children an operator sees, each with the window it sits in.
template <typename Visit> void ForEachShownChild(wxWindow* parent, const Visit& visit)
{
    for (wxWindow* child : parent->GetChildren())
    {
        // A frame's status bar lies outside its client area and shows values.
        if (child->IsTopLevel() || !child->IsShown() || dynamic_cast<wxStatusBar*>(child))
            continue;
        visit(parent, child);
        // A list control's header and rows are its own business (they scroll).
        if (!dynamic_cast<wxListCtrl*>(child))
            ForEachShownChild(child, visit);
    }
}

void AddMenu(wxMenu* menu, std::vector<wxString>& texts)
{
    for (wxMenuItem* item : menu->GetMenuItems())
    {
        if (item->IsSeparator())
            continue;
        texts.push_back(item->GetItemLabel());
        if (!item->GetHelp().empty())
            texts.push_back(item->GetHelp());
        if (item->IsSubMenu())
            AddMenu(item->GetSubMenu(), texts);
    }
}

void AddControl(wxWindow* w, std::vector<wxString>& texts)
{
    if (auto* list = dynamic_cast<wxListCtrl*>(w))
    {
        if (list->HasFlag(wxLC_NO_HEADER)) // its rows are labelled instead
        {
            for (long row = 0; row < list->GetItemCount(); ++row)
                texts.push_back(list->GetItemText(row, 0));
            return;
        }
        for (int c = 0; c < list->GetColumnCount(); ++c)
        {
            wxListItem column;
            column.SetMask(wxLIST_MASK_TEXT);
            list->GetColumn(c, column);
            texts.push_back(column.GetText());
        }
    }
    else if (auto* choice = dynamic_cast<wxChoice*>(w))
    {
        for (const wxString& item : choice->GetStrings())
            texts.push_back(item);
    }
    else if (auto* tools = dynamic_cast<wxToolBar*>(w))
    {
        for (size_t i = 0; i < tools->GetToolsCount(); ++i)
        {
            const wxToolBarToolBase* tool = tools->GetToolByPos(int(i));
            if (!tool->IsSeparator())
            {
                texts.push_back(tool->GetShortHelp());
                texts.push_back(tool->GetLongHelp());
            }
        }
    }
    else if (!dynamic_cast<wxTextCtrl*>(w) && !w->GetLabel().empty())
    {
        texts.push_back(w->GetLabel()); // a text field's is its value
    }
}
} // namespace

std::vector<std::string> ClippedControls(wxWindow* root)
{
    std::vector<std::string> clipped;
    ForEachShownChild(
        root,
        [&](wxWindow* parent, wxWindow* child)
        {
            const wxRect client(wxPoint(0, 0), parent->GetClientSize());
            const wxRect rect = child->GetRect();
            const wxSize wanted = child->GetEffectiveMinSize();
            if (!rect.IsEmpty() && client.Contains(rect) && rect.width >= wanted.x &&
                rect.height >= wanted.y)
                return;
            clipped.push_back(
                Describe(child, rect) +
                wxString::Format(" wanting %dx%d inside ", wanted.x, wanted.y).ToStdString() +
                Describe(parent, client));
        });
    return clipped;
}

std::string VisibleTexts(wxWindow* root)
{
    std::vector<wxString> texts;
    if (root->IsTopLevel())
        texts.push_back(root->GetLabel());
    if (auto* frame = dynamic_cast<wxFrame*>(root); frame && frame->GetMenuBar())
    {
        wxMenuBar* bar = frame->GetMenuBar();
        for (size_t m = 0; m < bar->GetMenuCount(); ++m)
        {
            texts.push_back(bar->GetMenuLabel(m));
            AddMenu(bar->GetMenu(m), texts);
        }
    }
    ForEachShownChild(root, [&](wxWindow*, wxWindow* child) { AddControl(child, texts); });
    wxString joined;
    for (size_t i = 0; i < texts.size(); ++i)
        joined << (i ? "|" : "") << texts[i];
    return joined.utf8_str().data();
}
