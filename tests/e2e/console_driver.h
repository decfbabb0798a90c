#pragma once

#include "store/records.h"

#include <wx/string.h>
#include <wx/weakref.h>

#include <map>
#include <set>
#include <vector>

class HalvexFrame;
class wxListCtrl;
class wxTimer;
class wxWindow;

// The real main window, driven through its menus, tools and dialogs as an
// operator drives it. Dialogs are answered by scripts that run inside their
// modal loops; message boxes by the test's PromptRecorder.
class Console
{
public:
    Console();  // creates and shows the main window
    ~Console(); // destroys it when the test has not closed it
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    HalvexFrame* Frame() const { return m_frame.get(); }
    bool IsOpen() const { return m_frame.get() != nullptr; }

    void Menu(int id);
    void Tool(int id);

    // Settings > Alarm: types the mail and SMS settings into the action
    // dialog, picks the sound file with "Find..." (the test queues the path
    // on its PromptRecorder) and presses OK.
    void SetActionSettings(const ActionSettings& settings);

    // File > Connect... (or the Site tool): selects the site's row in the
    // site list and presses Connect. The panel of the opened pane, or null.
    wxWindow* OpenFromSiteList(const wxString& siteName, bool viaTool);

    // The window of a pane, or null when there is no such pane.
    wxWindow* PaneWindow(const wxString& paneName) const;
    // Presses the close box of a floating pane.
    void CloseFloatingPane(const wxString& paneName);

private:
    wxWeakRef<HalvexFrame> m_frame;
};

// Controls of a monitor panel (either kind).
void SetRecording(wxWindow* panel, bool on); // "Record to Database!"
void SetIntervalText(wxWindow* panel, const wxString& seconds);
void PressStartStop(wxWindow* panel);
wxString StartStopLabel(wxWindow* panel);
wxString LogText(wxWindow* panel);
wxString SummaryCell(wxWindow* panel, long row);
long ListRows(wxWindow* panel, int listId);

// "Alarm Set": ticks each named condition with its text and each named
// action box (all others unticked), then presses OK in the rules dialog.
void EditAlarmRules(wxWindow* panel, const std::map<wxString, wxString>& conditions,
                    const std::set<wxString>& actions);

// One tick of a panel's polling timer, delivered as the timer delivers it.
void TickTimer(const wxTimer& timer);

// How often text occurs in haystack.
int Occurrences(const wxString& haystack, const wxString& text);

// The value of a one-number query on a database file, or -1 when it fails.
long long QueryNumber(const wxString& dbPath, const wxString& sql);
