#pragma once

#include "app/main_frame.h"

#include <wx/aui/aui.h>

#include <memory>
#include <vector>

struct SiteRecord;
class SettingsEndpoint;
struct SiteSample;
class wxToolBar;

// The main window: docking host for one floating pane per opened site, the
// toolbar and every command of the menus.
class HalvexFrame : public MainFrame
{
public:
    HalvexFrame(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "Corvane",
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(800, 600),
                long style = wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL);
    ~HalvexFrame() override;

    wxAuiManager& GetAuiManager() { return m_mgr; }
    wxToolBar* GetToolBar() const { return m_toolBar; }

    // Opens the monitor panel of a site in a pane of its own; false when the
    // site is already open or its type is unknown.
    bool OpenSite(const SiteRecord& site);

    // The pane name (and caption) of a site: the key that keeps it open once.
    static wxString PaneName(const SiteRecord& site);

    // The metrics endpoint of the open sites (Settings → Metrics endpoint...).
    const SettingsEndpoint& Metrics() const { return *m_metrics; }

    // Shows the "Alarms" pane (active alarms of every open site).
    void ShowAlarmsPane();

protected:
    void OnPaint(wxPaintEvent& event) override;

private:
    void OnToolRange(wxCommandEvent& event);
    void OnQuit();
    void OnExit(wxCommandEvent& event);
    void OnPaneClose(wxAuiManagerEvent& event);

    void OnConnect(wxCommandEvent& event);
    void OnDatabaseSetting(wxCommandEvent& event);
    void OnAlarmSetting(wxCommandEvent& event);
    void OnMetricsSetting(wxCommandEvent& event);
    std::vector<SiteSample> SampleSites(); // of the open panels
    void OnHelpContents(wxCommandEvent& event);
    void OnWebResource(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);

    wxAuiManager m_mgr;
    wxToolBar* m_toolBar = nullptr;
    std::unique_ptr<SettingsEndpoint> m_metrics;

    wxDECLARE_EVENT_TABLE();
};
