#pragma once

#include <wx/frame.h>

class wxMenu;
class wxMenuBar;
class wxStatusBar;

// Generated layout of the main window: status bar, menu bar and the paint hook.
class MainFrame : public wxFrame
{
public:
    MainFrame(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "Corvane",
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(800, 600),
              long style = wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL);
    ~MainFrame() override;

protected:
    wxStatusBar* m_statusBar;
    wxMenuBar* m_menubar;
    wxMenu* m_fileMenu;
    wxMenu* m_settingsMenu;
    wxMenu* m_helpMenu;
    wxMenu* m_webMenu;

    virtual void OnPaint(wxPaintEvent& event) { event.Skip(); }
};
