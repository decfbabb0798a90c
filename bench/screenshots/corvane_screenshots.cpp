// corvane-screenshots OUTDIR: the pictures of the README. Opens the first
// Tuxedo and the first WebLogic site of CORVANE_HOME's Corvane.db in the real
// main window, starts both panels against their (stand-in) agents, runs scans
// until the lists, summaries and logs are filled and an alarm row is red, docks
// the two panes side by side and saves:
//   OUTDIR/console.png   the main window with both panels
//   OUTDIR/tuxedo.png    the Tuxedo panel, maximised in the main window
//   OUTDIR/weblogic.png  the WebLogic panel, likewise
//   OUTDIR/site-list.png the site list
//   OUTDIR/chart.png     the chart window on the Tuxedo site's last 24 hours
//   OUTDIR/alarms.png    the Alarms pane under the panels, one alarm acknowledged
// scripts/screenshots.sh prepares the agents and the program directory and
// runs this under Xvfb.
#include "bench.h"

#include <wx/listctrl.h>

#include "alarm/alarms_pane.h"
#include "app/halvex_frame.h"
#include "app/images.h"
#include "common/ids.h"
#include "common/program_dir.h"
#include "dialogs/halvex_site_list_dlg.h"
#include "history/chart_canvas.h"
#include "history/corvane_chart_frame.h"
#include "store/db_access.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cstdio>

namespace
{
constexpr int kMinScans = 4;
constexpr int kMaxScans = 20;

class ShotApp : public wxApp
{
public:
    bool OnInit() override
    {
        wxInitAllImageHandlers();
        return true;
    }
};

void Fail(const char* what)
{
    std::fprintf(stderr, "corvane-screenshots: %s\n", what);
}

void Settle(int milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

// The part of the screen that rect covers, as a PNG file, taken by
// ImageMagick from the X server: what the server shows is what an operator
// would see (wxScreenDC kept handing back its first picture under Xvfb).
bool SaveScreen(const wxRect& rect, const wxString& path)
{
    const std::string geometry =
        wxString::Format("%dx%d+%d+%d", rect.width, rect.height, rect.x, rect.y).ToStdString();
    const std::string file = path.utf8_str().data();
    const char* const argv[] = {"import", "-window", "root", "-crop", geometry.c_str(), "+repage",
                                file.c_str(), nullptr};
    if (wxExecute(argv, wxEXEC_BLOCK) != 0)
        return false;
    std::printf("%s\n", file.c_str());
    return true;
}

bool SaveWindow(wxWindow* window, const wxString& path)
{
    window->Update();
    Settle(300);
    return SaveScreen(window->GetScreenRect(), path);
}

bool HasRedTuxRow(const HalvexPanel& panel)
{
    const auto servers = panel.ShownServers();
    for (std::size_t i = 0; i < servers.size(); ++i)
        if (servers[i].Flags & TuxAlarmRow)
            return true;
    const auto queues = panel.ShownQueues();
    for (std::size_t i = 0; i < queues.size(); ++i)
        if (queues[i].Flags & TuxAlarmRow)
            return true;
    return false;
}

bool HasRedWlsRow(const DunmerePanel& panel)
{
    for (int list = 0; list < 4; ++list)
        for (long row = 0; row < panel.ShownRows(list); ++row)
            if (panel.ShownRed(list, row))
                return true;
    return false;
}

bool StartPanel(wxWindow* panel, const std::function<int()>& start)
{
    dynamic_cast<wxTextCtrl*>(panel->FindWindow(CorvaneId::Interval))->SetValue("15");
    return start() == 1;
}

// The chart window on a busy program of the Tuxedo site (the history that
// corvane-demo-home --history wrote, then the scans just taken), the mouse
// resting on a sample.
bool SaveChart(const wxString& site, const wxString& path)
{
    CorvaneChartFrame* chart = OpenChartWindow(
        nullptr, {site, HistKind::TuxServer, "BILLSVR",
                  {HistMetric::TuxRequestsPerMinute, HistMetric::TuxServersRunning}});
    chart->SetSize(0, 0, 1280, 800);
    if (!PumpUntil([chart] { return !chart->Loading(); }, 30000) ||
        chart->Canvas()->Plots().empty())
    {
        Fail("the chart did not load");
        chart->Destroy();
        return false;
    }
    Settle(300);
    ChartCanvas* canvas = chart->Canvas();
    const wxSize size = canvas->GetClientSize();
    bool found = false; // a sample two thirds along, read out as the mouse would
    for (int x = size.x * 2 / 3; x < size.x - 20 && !found; x += 3)
        for (int y = 30; y < size.y / 2 && !found; y += 3)
            found = !canvas->HoverAt(wxPoint(x, y)).empty();
    Settle(300);
    const bool saved = SaveWindow(chart, path);
    chart->Destroy();
    Settle(100);
    return saved;
}

int Run(const wxString& outDir)
{
    SetMessageHandler(
        [](const MessageRequest& request)
        {
            std::fprintf(stderr, "corvane-screenshots: [%s] %s\n",
                         request.caption.utf8_str().data(), request.text.utf8_str().data());
            return (request.style & wxYES_NO) ? wxYES : wxOK;
        });

    DbAccess config;
    if (config.Open(ProgramFile("Corvane.db"), DbAccess::ConfigDb) != 1 || config.LoadSites() != 1)
    {
        Fail("no Corvane.db with sites in the program directory");
        return 1;
    }
    SiteRecord tuxSite, wlsSite;
    for (const SiteRecord& site : config.Sites())
    {
        if (site.SiteType == "TUXEDO" && tuxSite.SiteName.empty())
            tuxSite = site;
        if (site.SiteType == "WEBLOGIC" && wlsSite.SiteName.empty())
            wlsSite = site;
    }
    config.Close();
    if (tuxSite.SiteName.empty() || wlsSite.SiteName.empty())
    {
        Fail("Corvane.db lists no Tuxedo or no WebLogic site");
        return 1;
    }

    auto* frame = new HalvexFrame(nullptr, wxID_ANY, "Corvane", wxPoint(0, 0), wxSize(1600, 1140));
    frame->SetIcon(AppIcon());
    frame->Show();
    Settle(200);

    wxAuiManager& aui = frame->GetAuiManager();
    frame->OpenSite(tuxSite);
    frame->OpenSite(wlsSite);
    wxAuiPaneInfo& tuxPane = aui.GetPane(HalvexFrame::PaneName(tuxSite));
    wxAuiPaneInfo& wlsPane = aui.GetPane(HalvexFrame::PaneName(wlsSite));
    auto* tux = dynamic_cast<HalvexPanel*>(tuxPane.window);
    auto* wls = dynamic_cast<DunmerePanel*>(wlsPane.window);
    if (!tux || !wls)
    {
        Fail("the sites did not open");
        return 1;
    }
    // Docked side by side: one picture shows both, and neither hides the other.
    tuxPane.Dock().Left().Layer(0).Row(0).Position(0).BestSize(tux->GetMinSize().x, 1000)
        .MinSize(tux->GetMinSize());
    wlsPane.Dock().CenterPane().Caption(wlsPane.caption).CaptionVisible(true).CloseButton(true)
        .MaximizeButton(true).PinButton(true);
    aui.Update();
    Settle(300);

    if (!StartPanel(tux, [tux] { return tux->StartMonitor(); }) ||
        !StartPanel(wls, [wls] { return wls->StartMonitor(); }))
    {
        Fail("a panel did not start: is its agent running?");
        frame->Destroy();
        return 1;
    }
    for (int scan = 0; scan < kMaxScans; ++scan)
    {
        if (scan >= kMinScans && HasRedTuxRow(*tux) && HasRedWlsRow(*wls))
            break;
        const int tuxShown = tux->ReportsShown();
        const int wlsEnded = wls->ScansEnded();
        tux->RunScanNow();
        wls->RunScanNow();
        if (!PumpUntil(
                [&]
                {
                    return tux->ReportsShown() > tuxShown && !tux->ScanRunning() &&
                           wls->ScansEnded() > wlsEnded;
                },
                30000))
        {
            Fail("a scan did not end within 30 s");
            break;
        }
    }
    Settle(500);

    bool saved = SaveWindow(frame, outDir + "/console.png");
    for (auto [pane, name] : {std::make_pair(&tuxPane, "tuxedo"), std::make_pair(&wlsPane, "weblogic")})
    {
        aui.MaximizePane(*pane);
        aui.Update();
        Settle(300);
        saved = SaveWindow(frame, outDir + "/" + name + ".png") && saved;
        aui.RestoreMaximizedPane();
        aui.Update();
    }

    // The site list, as File > Connect... shows it.
    auto* sites = new HalvexSiteListDlg(frame);
    sites->Show();
    Settle(300);
    saved = SaveWindow(sites, outDir + "/site-list.png") && saved;
    sites->Destroy();
    saved = SaveChart(tuxSite.SiteName, outDir + "/chart.png") && saved;

    frame->ShowAlarmsPane();
    wxAuiPaneInfo& alarmsPane = aui.GetPane("alarms");
    auto* alarms = dynamic_cast<AlarmsPane*>(alarmsPane.window);
    alarmsPane.BestSize(1600, 420);
    aui.Update();
    if (alarms && alarms->ActiveList()->GetItemCount() > 0)
    {
        alarms->ActiveList()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        alarms->AcknowledgeSelected();
    }
    Settle(300);
    if (alarms)
        saved = SaveWindow(alarms, outDir + "/alarms.png") && saved;

    if (!saved)
        Fail("the screen could not be saved");

    tux->StopMonitor();
    wls->StopMonitor();
    frame->Destroy();
    Settle(100);
    return saved ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: corvane-screenshots OUTDIR (see scripts/screenshots.sh)\n");
        return 2;
    }
    wxApp::SetInstance(new ShotApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
    {
        Fail("needs a display (run it through scripts/screenshots.sh)");
        return 2;
    }
    int rc = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        rc = Run(wxString::FromUTF8(argv[1]));
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
