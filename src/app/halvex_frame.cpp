#include "app/halvex_frame.h"

#include "alarm/alarms_pane.h"
#include "alarm/corvane_action_dlg.h"
#include "app/halvex_about.h"
#include "app/images.h"
#include "common/ids.h"
#include "common/launcher.h"
#include "common/program_dir.h"
#include "common/prompt.h"
#include "dialogs/halvex_database_dlg.h"
#include "dialogs/halvex_site_list_dlg.h"
#include "history/corvane_chart_frame.h"
#include "dialogs/metrics_dlg.h"
#include "metrics/settings_endpoint.h"
#include "store/records.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <wx/aui/dockart.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/toolbar.h>

namespace
{
const char* const ToolbarPaneName = "tb";
const char* const AlarmsPaneName = "alarms";

// The two lines of text on the main window's free background.
void DrawBackgroundText(wxDC& dc, const wxFont& font)
{
    dc.SetFont(font);
    dc.DrawText(wxString::FromUTF8("Corvane \xe2\x80\x94 \xd0\xbd\xd0\xb0\xd0\xb1\xd0\xbb\xd1\x8e"
                                   "\xd0\xb4\xd0\xb5\xd0\xbd\xd0\xb8\xd0\xb5 \xd0\xb7\xd0\xb0 "
                                   "Tuxedo \xd0\xb8 WebLogic"),
                40, 60);
    dc.DrawText(wxString::FromUTF8("File \xe2\x86\x92 Connect... "
                                   "\xd0\xbe\xd1\x82\xd0\xba\xd1\x80\xd1\x8b\xd0\xb2\xd0\xb0\xd0\xb5"
                                   "\xd1\x82 \xd0\xbf\xd0\xbb\xd0\xbe\xd1\x89\xd0\xb0\xd0\xb4\xd0\xba"
                                   "\xd1\x83 (site)."),
                70, 80);
}

// The docking manager paints the frame's client area itself and does not let
// the paint event reach the frame, so the text is drawn where the manager
// paints the free background.
class BackgroundTextArt : public wxAuiDefaultDockArt
{
public:
    void DrawBackground(wxDC& dc, wxWindow* window, int orientation, const wxRect& rect) override
    {
        wxAuiDefaultDockArt::DrawBackground(dc, window, orientation, rect);
        wxDCClipper clip(dc, rect);
        DrawBackgroundText(dc, window->GetFont());
    }
};
} // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(HalvexFrame, MainFrame)
    EVT_TOOL_RANGE(CorvaneId::ToolQuit, CorvaneId::ToolDatabase, HalvexFrame::OnToolRange)
    EVT_MENU(CorvaneId::Connect, HalvexFrame::OnConnect)
    EVT_MENU(CorvaneId::Exit, HalvexFrame::OnExit)
    EVT_MENU(CorvaneId::DatabaseSetting, HalvexFrame::OnDatabaseSetting)
    EVT_MENU(CorvaneId::AlarmSetting, HalvexFrame::OnAlarmSetting)
    EVT_MENU(CorvaneId::MetricsSetting, HalvexFrame::OnMetricsSetting)
    EVT_MENU(CorvaneId::HelpContents, HalvexFrame::OnHelpContents)
    EVT_MENU_RANGE(CorvaneId::TechSupport, CorvaneId::WebLogicForums, HalvexFrame::OnWebResource)
    EVT_MENU(CorvaneId::About, HalvexFrame::OnAbout)
    EVT_AUI_PANE_CLOSE(HalvexFrame::OnPaneClose)
wxEND_EVENT_TABLE()
// clang-format on

HalvexFrame::HalvexFrame(wxWindow* parent, wxWindowID id, const wxString& title,
                         const wxPoint& pos, const wxSize& size, long style)
    : MainFrame(parent, id, title, pos, size, style)
{
    m_mgr.SetManagedWindow(this);
    m_mgr.SetArtProvider(new BackgroundTextArt);

    m_toolBar = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTB_FLAT | wxTB_NODIVIDER);
    m_toolBar->SetToolBitmapSize(wxSize(16, 16));
    RegisterImageHandlers();
    m_toolBar->AddTool(CorvaneId::ToolQuit, "Quit", ToolBitmap(CorvaneId::ToolQuit), "Quit");
    m_toolBar->SetToolLongHelp(CorvaneId::ToolQuit, "Quit Corvane.");
    m_toolBar->AddSeparator();
    m_toolBar->AddTool(CorvaneId::ToolSite, "Site", ToolBitmap(CorvaneId::ToolSite), "Site list");
    m_toolBar->SetToolLongHelp(CorvaneId::ToolSite, "Add a monitor site.");
    m_toolBar->AddTool(CorvaneId::ToolAction, "Action", ToolBitmap(CorvaneId::ToolAction),
                       "Alarm action setting");
    m_toolBar->SetToolLongHelp(CorvaneId::ToolAction, "Setting for alarm action.");
    m_toolBar->AddTool(CorvaneId::ToolChart, "Chart", ToolBitmap(CorvaneId::ToolChart), "History chart");
    m_toolBar->SetToolLongHelp(CorvaneId::ToolChart, "Charts of a site's recorded history.");
    m_toolBar->AddTool(CorvaneId::ToolDatabase, "Database", ToolBitmap(CorvaneId::ToolDatabase),
                       "Database setting");
    m_toolBar->SetToolLongHelp(CorvaneId::ToolDatabase, "Setting for database.");
    m_toolBar->Realize();

    // The toolbar carries Quit: it has no close button, and once floated it
    // can be dragged back to the top.
    m_mgr.AddPane(m_toolBar, wxAuiPaneInfo()
                                 .Name(ToolbarPaneName)
                                 .Caption("Toolbar")
                                 .ToolbarPane()
                                 .Top()
                                 .Gripper()
                                 .Resizable()
                                 .Dockable(false)
                                 .TopDockable(true)
                                 .CloseButton(false));
    // The alarms of every open site; hidden until asked for.
    m_fileMenu->Insert(1, CorvaneId::ShowAlarms, "Alarms\tCtrl+L", "Active alarms of the open sites");
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { ShowAlarmsPane(); }, CorvaneId::ShowAlarms);
    auto* alarms = new AlarmsPane(this, AlarmBook::Console());
    m_mgr.AddPane(alarms, wxAuiPaneInfo()
                              .Name(AlarmsPaneName)
                              .Caption("Alarms")
                              .Bottom()
                              .BestSize(alarms->GetSize())
                              .MinSize(wxSize(400, 200))
                              .CloseButton(true)
                              .Hide());
    m_mgr.Update();

    m_metrics = std::make_unique<SettingsEndpoint>(*this, [this] { return SampleSites(); });
    MetricsSettings metrics;
    std::string error;
    if (LoadMetricsSettings(ConfigDbPath(), metrics) && !m_metrics->Apply(metrics, error))
        ShowMessage("Metrics endpoint: " + wxString::FromUTF8(error), "Corvane", wxOK | wxICON_ERROR, this);
}

void HalvexFrame::ShowAlarmsPane()
{
    wxAuiPaneInfo& pane = m_mgr.GetPane(AlarmsPaneName);
    static_cast<AlarmsPane*>(pane.window)->Reload();
    pane.Show();
    m_mgr.Update();
}

HalvexFrame::~HalvexFrame()
{
    m_metrics.reset(); // before the panels it samples
    m_mgr.UnInit();
}

void HalvexFrame::OnPaint(wxPaintEvent& event)
{
    wxPaintDC dc(this);
    DrawBackgroundText(dc, GetFont());
}

void HalvexFrame::OnToolRange(wxCommandEvent& event)
{
    switch (event.GetId())
    {
    case CorvaneId::ToolQuit:
        OnQuit();
        break;
    case CorvaneId::ToolSite:
        OnConnect(event);
        break;
    case CorvaneId::ToolAction:
        OnAlarmSetting(event);
        break;
    case CorvaneId::ToolDatabase:
        OnDatabaseSetting(event);
        break;
    case CorvaneId::ToolEmail:
        ShowMessage("EMAIL Not Support Now.");
        break;
    case CorvaneId::ToolChart:
        OpenChartWindow(this);
        break;
    default:
        event.Skip();
        break;
    }
}

void HalvexFrame::OnQuit()
{
    if (ShowMessage("Are you sure you want to Quit Corvane?", "Corvane", wxYES_NO, this) == wxYES)
        Close();
}

void HalvexFrame::OnExit(wxCommandEvent&)
{
    Close();
}

void HalvexFrame::OnPaneClose(wxAuiManagerEvent& event)
{
    // A floating toolbar's frame can still be closed by the window manager.
    if (event.GetPane()->name == ToolbarPaneName)
    {
        event.Veto();
        return;
    }
    if (event.GetPane()->name == AlarmsPaneName)
        return; // only hidden; the menu shows it again
    if (ShowMessage("Are you sure you want to stop monitoring and close this site?", "Corvane",
                    wxYES_NO, this) != wxYES)
        event.Veto();
}

void HalvexFrame::OnConnect(wxCommandEvent&)
{
    SiteRecord site;
    {
        HalvexSiteListDlg dialog(this);
        if (dialog.ShowModal() != 1)
            return;
        site = dialog.GetSelectedSite();
    }
    OpenSite(site);
}

wxString HalvexFrame::PaneName(const SiteRecord& site)
{
    const wxString prefix = site.SiteType == "WEBLOGIC" ? "WebLogic Monitor [ " : "Tuxedo Monitor [ ";
    return prefix + site.SiteName + " ] @ " + site.SiteIP + ":" + site.SitePort;
}

void HalvexFrame::OnDatabaseSetting(wxCommandEvent&)
{
    (new HalvexDatabaseDlg(this))->Show();
}

void HalvexFrame::OnAlarmSetting(wxCommandEvent&)
{
    CorvaneActionDlg dialog(this);
    dialog.ShowModal();
}

void HalvexFrame::OnMetricsSetting(wxCommandEvent&)
{
    MetricsSettings settings;
    wxString dbError;
    if (!LoadMetricsSettings(ConfigDbPath(), settings, &dbError))
    {
        ShowMessage(dbError, "Corvane", wxOK | wxICON_ERROR, this);
        return;
    }
    {
        MetricsEndpointDlg dialog(this, settings);
        if (dialog.ShowModal() != wxID_OK)
            return;
        settings = dialog.GetSettings();
    }
    ListenAddress address;
    std::string error;
    if (FlagOn(settings.Enabled) && !SettingsEndpoint::AddressOf(settings, address, error))
    {
        ShowMessage("Metrics endpoint: " + wxString::FromUTF8(error), "Corvane", wxOK | wxICON_ERROR, this);
        return;
    }
    if (!SaveMetricsSettings(ConfigDbPath(), settings, &dbError))
    {
        ShowMessage(dbError, "Corvane", wxOK | wxICON_ERROR, this);
        return;
    }
    if (!m_metrics->Apply(settings, error))
        ShowMessage("Metrics endpoint: " + wxString::FromUTF8(error), "Corvane", wxOK | wxICON_ERROR, this);
}

std::vector<SiteSample> HalvexFrame::SampleSites()
{
    std::vector<SiteSample> samples;
    wxAuiPaneInfoArray& panes = m_mgr.GetAllPanes();
    for (size_t i = 0; i < panes.GetCount(); ++i)
    {
        if (auto* tuxedo = dynamic_cast<HalvexPanel*>(panes[i].window))
            samples.push_back(SampleOf(tuxedo->Site().SiteName.utf8_string(), tuxedo->Monitor()));
        else if (auto* webLogic = dynamic_cast<DunmerePanel*>(panes[i].window))
            samples.push_back(SampleOf(webLogic->Site().SiteName.utf8_string(), webLogic->Monitor()));
    }
    return samples;
}

void HalvexFrame::OnHelpContents(wxCommandEvent&)
{
    LaunchDocument(ProgramFile("help.html"));
}

void HalvexFrame::OnWebResource(wxCommandEvent& event)
{
    if (event.GetId() == CorvaneId::TechSupport || event.GetId() == CorvaneId::CheckUpdate)
        LaunchWebPage(CorvaneWebSite);
    else
        LaunchWebPage(CorvaneForumPage);
}

void HalvexFrame::OnAbout(wxCommandEvent&)
{
    (new HalvexAbout(this))->Show();
}

bool HalvexFrame::OpenSite(const SiteRecord& site)
{
    wxWindow* panel = nullptr;
    const wxString name = PaneName(site);
    if (site.SiteType == "TUXEDO" || site.SiteType == "WEBLOGIC")
    {
        if (m_mgr.GetPane(name).IsOk())
        {
            ShowMessage("This site is already connected!");
            return false;
        }
        if (site.SiteType == "TUXEDO")
        {
            auto* tuxedo = new HalvexPanel(this);
            tuxedo->SetSite(site);
            panel = tuxedo;
        }
        else
        {
            auto* webLogic = new DunmerePanel(this);
            webLogic->SetSite(site);
            panel = webLogic;
        }
        m_mgr.AddPane(panel, wxAuiPaneInfo()
                                 .Name(name)
                                 .Caption(name)
                                 .TopDockable(false)
                                 .Float()
                                 .MinSize(panel->GetMinSize())
                                 .DestroyOnClose(true)
                                 .CloseButton(true)
                                 .MaximizeButton(true)
                                 .PinButton(true));
    }
    const wxSize panelSize = panel ? panel->GetSize() : wxSize();
    m_mgr.Update();
    // The floating frame fits itself to the pane's smallest size; the panel
    // starts at its own size, which shows every control.
    if (panel && m_mgr.GetPane(name).frame)
        m_mgr.GetPane(name).frame->SetClientSize(panelSize);
    return panel != nullptr;
}
