#include "history/corvane_chart_frame.h"

#include "common/program_dir.h"
#include "common/prompt.h"
#include "history/chart_canvas.h"

#include <wx/button.h>
#include <wx/checklst.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/ffile.h>
#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/timectrl.h>

#include <ctime>

namespace
{
wxString Thousands(long long n)
{
    wxString digits = wxString::Format("%lld", n < 0 ? -n : n);
    for (int i = static_cast<int>(digits.length()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return (n < 0 ? "-" : "") + digits;
}

wxString MiB(long long bytes)
{
    return wxString::Format("%.1f MiB", bytes / 1048576.0);
}

// The history tables an operator of a site of this type cares about.
bool TableOfType(const wxString& table, const wxString& siteType)
{
    const bool tuxedo = table == "ServerList" || table == "QueueList" || table == "ClientList";
    return tuxedo == (siteType != "WEBLOGIC");
}

long long Seconds(const wxDateTime& date, const wxDateTime& time)
{
    wxDateTime moment = date;
    moment.SetHour(time.GetHour());
    moment.SetMinute(time.GetMinute());
    moment.SetSecond(time.GetSecond());
    return moment.GetTicks();
}

wxString FileName(const wxString& text)
{
    wxString name = text;
    for (wxUniCharRef c : name)
        if (c == '/' || c == '\\' || c == ' ' || c == ':')
            c = '_';
    return name;
}
} // namespace

CorvaneChartFrame::CorvaneChartFrame(wxWindow* parent, const ChartTarget& target)
    : ChartFrame(parent), m_target(target)
{
    const long long now = std::time(nullptr);
    m_fromDate->SetValue(wxDateTime(static_cast<time_t>(now - 86400)));
    m_fromTime->SetValue(wxDateTime(static_cast<time_t>(now - 86400)));
    m_toDate->SetValue(wxDateTime(static_cast<time_t>(now)));
    m_toTime->SetValue(wxDateTime(static_cast<time_t>(now)));
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_fromDate, m_fromTime, m_toDate, m_toTime})
        w->Enable(false);
    m_canvas->SetReadOutHandler([this](const wxString& text) { m_readout->SetLabel(text); });
    m_canvas->SetMessage("Reading the site list...");

    const wxString config = ConfigDbPath();
    Post(
        [this, config](HistoryReader&)
        {
            wxString error;
            std::vector<HistSite> sites = LoadHistSites(config, &error);
            Deliver([this, sites, error] { SitesLoaded(sites, error); });
        });
}

CorvaneChartFrame::~CorvaneChartFrame()
{
    // Before anything else goes: no job may run or call back after this.
    *m_alive = false;
    m_worker.Stop();
}

void CorvaneChartFrame::Post(HistoryWorker::Job job)
{
    ++m_pending;
    m_worker.Post(std::move(job));
}

void CorvaneChartFrame::Deliver(std::function<void()> fn)
{
    std::shared_ptr<bool> alive = m_alive;
    CallAfter(
        [this, alive, fn = std::move(fn)]
        {
            if (!*alive)
                return;
            --m_pending;
            fn();
        });
}

wxString CorvaneChartFrame::StatusText() const
{
    return m_status->GetLabel();
}

wxString CorvaneChartFrame::FileInfoText() const
{
    return m_fileInfo->GetLabel();
}

void CorvaneChartFrame::SetStatus(const wxString& text)
{
    m_status->SetLabel(text);
    m_status->SetToolTip(text);
}

void CorvaneChartFrame::ShowNothing(const wxString& message)
{
    m_canvas->SetPlots({}, 0, 1);
    m_canvas->SetMessage(message);
}

void CorvaneChartFrame::SitesLoaded(const std::vector<HistSite>& sites, const wxString& error)
{
    m_sites = sites;
    m_site->Clear();
    for (const HistSite& site : sites)
        m_site->Append(site.name);
    if (sites.empty())
    {
        ShowNothing(error.empty() ? wxString("No sites yet: add one with File, Connect...") : error);
        return;
    }
    int chosen = 0;
    for (size_t i = 0; i < sites.size(); ++i)
        if (sites[i].name == m_target.site)
            chosen = static_cast<int>(i);
    m_site->SetSelection(chosen);
    SelectSite(chosen);
}

void CorvaneChartFrame::SelectSite(int index)
{
    m_current = m_sites[static_cast<size_t>(index)];
    m_siteOk = false;
    m_kinds.clear();
    m_kind->Clear();
    const bool webLogic = m_current.type == "WEBLOGIC";
    int chosen = 0;
    for (HistKind kind : {HistKind::TuxServer, HistKind::TuxQueue, HistKind::TuxClients,
                          HistKind::WlsServer, HistKind::WlsJdbc})
    {
        if (KindIsWebLogic(kind) != webLogic)
            continue;
        if (kind == m_target.kind)
            chosen = static_cast<int>(m_kinds.size());
        m_kinds.push_back(kind);
        m_kind->Append(KindLabel(kind));
    }
    m_kind->SetSelection(chosen);
    FillMetrics();
    m_objects->Clear();
    m_fileInfo->SetLabel(wxEmptyString);
    ShowNothing("Opening the site database...");
    SetStatus(wxEmptyString);

    const int seq = ++m_siteSeq;
    const wxString path = ProgramFile(m_current.databaseFile);
    const wxString config = ConfigDbPath();
    const wxString name = m_current.name;
    const HistKind kind = Kind();
    Post(
        [this, seq, path, config, name, kind](HistoryReader& reader)
        {
            const HistoryReader::Opened opened = reader.Open(path);
            std::vector<wxString> objects;
            if (opened.status == HistoryReader::Ok)
                objects = reader.Objects(kind);
            const int keep = LoadKeepDays(config, name);
            Deliver(
                [this, seq, opened, objects, keep]
                {
                    if (seq == m_siteSeq)
                        SiteOpened(opened, objects, keep);
                });
        });
}

void CorvaneChartFrame::SiteOpened(const HistoryReader::Opened& opened,
                                   const std::vector<wxString>& objects, int keepDays)
{
    m_keepDays->SetValue(keepDays > 0 ? keepDays : 0);
    m_siteOk = opened.status == HistoryReader::Ok;
    if (!m_siteOk)
    {
        ShowNothing(opened.message); // the chart says why
        return;
    }
    SetStatus(opened.message); // indexes that could not be added
    ObjectsLoaded(objects);
    LoadStats();
}

void CorvaneChartFrame::ObjectsLoaded(const std::vector<wxString>& objects)
{
    m_objects->Clear();
    for (const wxString& name : objects)
        m_objects->Append(name);
    if (objects.empty())
    {
        ShowNothing(wxString::Format("No history has been recorded for %s on this site yet.",
                                     wxString(KindLabel(Kind())).Lower()));
        return;
    }
    int chosen = m_objects->FindString(m_target.object, true);
    m_target.object.clear(); // only the first list opens on it
    m_objects->SetSelection(chosen == wxNOT_FOUND ? 0 : chosen);
    Load();
}

void CorvaneChartFrame::FillMetrics()
{
    const HistKind kind = Kind();
    if (m_metricsFilled && kind == m_metricsKind)
        return;
    m_metricsFilled = true;
    m_metricsKind = kind;
    m_metrics->Clear();
    bool any = false;
    for (HistMetric metric : MetricsOf(kind))
    {
        const unsigned at = static_cast<unsigned>(m_metrics->Append(MetricInfo(metric).label));
        for (HistMetric wanted : m_target.metrics)
            if (wanted == metric)
                m_metrics->Check(at), any = true;
    }
    if (!any && m_metrics->GetCount() > 0)
        m_metrics->Check(0);
}

HistKind CorvaneChartFrame::Kind() const
{
    const int i = m_kind->GetSelection();
    return i >= 0 && static_cast<size_t>(i) < m_kinds.size() ? m_kinds[static_cast<size_t>(i)]
                                                             : HistKind::TuxServer;
}

wxString CorvaneChartFrame::SelectedObject() const
{
    const int i = m_objects->GetSelection();
    return i == wxNOT_FOUND ? wxString() : m_objects->GetString(static_cast<unsigned>(i));
}

bool CorvaneChartFrame::Range(long long& from, long long& to)
{
    to = std::time(nullptr);
    switch (m_range->GetSelection())
    {
    case 0:
        from = to - 3600;
        return true;
    case 2:
        from = to - 7 * 86400;
        return true;
    case 3:
        from = Seconds(m_fromDate->GetValue(), m_fromTime->GetValue());
        to = Seconds(m_toDate->GetValue(), m_toTime->GetValue());
        return to > from;
    default:
        from = to - 86400;
        return true;
    }
}

void CorvaneChartFrame::Load()
{
    if (!m_siteOk)
        return;
    HistQuery query;
    query.kind = Kind();
    query.object = SelectedObject();
    const std::vector<HistMetric> metrics = MetricsOf(query.kind);
    for (unsigned i = 0; i < m_metrics->GetCount() && i < metrics.size(); ++i)
        if (m_metrics->IsChecked(i))
            query.metrics.push_back(metrics[i]);
    if (query.object.empty())
        return;
    if (query.metrics.empty())
    {
        ShowNothing("Tick one or more metrics.");
        return;
    }
    if (!Range(query.from, query.to))
    {
        ShowNothing("The end of the range must come after its start.");
        return;
    }
    m_canvas->SetMessage("Loading...");
    const int seq = ++m_loadSeq;
    Post(
        [this, seq, query](HistoryReader& reader)
        {
            HistResult result = reader.Load(query);
            Deliver(
                [this, seq, query, result = std::move(result)]() mutable
                {
                    if (seq != m_loadSeq)
                        return;
                    if (!result.error.empty())
                    {
                        ShowNothing(result.error);
                        SetStatus(result.error);
                        return;
                    }
                    bool empty = true;
                    for (const HistPlot& plot : result.plots)
                        empty = empty && plot.Empty();
                    m_canvas->SetPlots(std::move(result.plots), static_cast<double>(query.from),
                                       static_cast<double>(query.to));
                    m_canvas->SetMessage(
                        empty ? wxString::Format("No history rows for %s in this range.", query.object)
                              : wxString());
                    wxString status = Thousands(result.rows) + " rows read";
                    if (result.skipped > 0)
                        status += ", " + Thousands(result.skipped) + " skipped (not a number or time)";
                    SetStatus(status + ". Times are local; wheel zooms, drag pans, double-click resets.");
                });
        });
}

void CorvaneChartFrame::LoadStats()
{
    Post(
        [this](HistoryReader& reader)
        {
            const HistFileStats stats = reader.Stats();
            Deliver([this, stats] { ShowStats(stats); });
        });
}

void CorvaneChartFrame::ShowStats(const HistFileStats& stats)
{
    wxString text = "File: " + MiB(stats.fileBytes);
    if (stats.freeBytes > 0)
        text += " (" + MiB(stats.freeBytes) + " free)";
    for (const auto& [table, rows] : stats.rows)
        if (TableOfType(table, m_current.type))
            text += wxString::Format("\n%s: %s rows", table, Thousands(rows));
    if (!stats.error.empty())
        text += "\n" + stats.error;
    m_fileInfo->SetLabel(text);
    Layout();
}

void CorvaneChartFrame::OnSite(wxCommandEvent&)
{
    if (m_site->GetSelection() != wxNOT_FOUND)
        SelectSite(m_site->GetSelection());
}

void CorvaneChartFrame::OnKind(wxCommandEvent&)
{
    FillMetrics();
    if (!m_siteOk)
        return;
    const int seq = m_siteSeq;
    const HistKind kind = Kind();
    Post(
        [this, seq, kind](HistoryReader& reader)
        {
            const std::vector<wxString> objects = reader.Objects(kind);
            Deliver(
                [this, seq, objects]
                {
                    if (seq == m_siteSeq)
                        ObjectsLoaded(objects);
                });
        });
}

void CorvaneChartFrame::OnObject(wxCommandEvent&)
{
    Load();
}

void CorvaneChartFrame::OnMetric(wxCommandEvent&)
{
    Load();
}

void CorvaneChartFrame::OnRange(wxCommandEvent&)
{
    const bool custom = m_range->GetSelection() == 3;
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_fromDate, m_fromTime, m_toDate, m_toTime})
        w->Enable(custom);
    if (!custom)
        Load();
}

void CorvaneChartFrame::OnShow(wxCommandEvent&)
{
    Load();
}

wxString CorvaneChartFrame::ExportPath(const wxString& title, const wxString& extension)
{
    if (m_canvas->Plots().empty())
    {
        SetStatus("Nothing to export.");
        return wxString();
    }
    const wxString upper = extension.Upper();
    return ChooseFile({title, ProgramDir(),
                       FileName(m_current.name + "-" + SelectedObject()) + "." + extension,
                       upper + " files (*." + extension + ")|*." + extension,
                       wxFD_SAVE | wxFD_OVERWRITE_PROMPT, this});
}

void CorvaneChartFrame::OnExportPng(wxCommandEvent&)
{
    const wxString path = ExportPath("Export chart as PNG", "png");
    if (!path.empty())
        SetStatus(m_canvas->SavePng(path) ? "Chart saved to " + path
                                          : "The chart could not be saved to " + path);
}

void CorvaneChartFrame::OnExportCsv(wxCommandEvent&)
{
    const wxString path = ExportPath("Export samples as CSV", "csv");
    if (path.empty())
        return;
    const std::string csv = HistCsv(m_canvas->Plots());
    wxFFile file(path, "wb");
    const bool ok = file.IsOpened() && file.Write(csv.data(), csv.size()) == csv.size() && file.Close();
    SetStatus(ok ? "Samples saved to " + path : "The samples could not be saved to " + path);
}

void CorvaneChartFrame::OnApplyKeep(wxCommandEvent&)
{
    if (m_current.name.empty())
        return;
    const wxString config = ConfigDbPath();
    const wxString name = m_current.name;
    const int days = m_keepDays->GetValue();
    Post(
        [this, config, name, days](HistoryReader&)
        {
            wxString error;
            const bool saved = SaveKeepDays(config, name, days, &error);
            if (saved)
                HistoryPurger::WakeRunning();
            Deliver(
                [this, saved, error, name, days]
                {
                    if (!saved)
                        SetStatus(error);
                    else if (days > 0)
                        SetStatus(wxString::Format("The history of %s is kept for %d days; older "
                                                   "rows are deleted in the background.",
                                                   name, days));
                    else
                        SetStatus(wxString::Format("The history of %s is kept without limit.", name));
                });
        });
}

void CorvaneChartFrame::OnCompact(wxCommandEvent&)
{
    if (!m_siteOk)
        return;
    SetStatus("Compacting the site database...");
    Post(
        [this](HistoryReader& reader)
        {
            long long before = 0, after = 0;
            wxString error;
            const bool ok = reader.Compact(before, after, error);
            Deliver(
                [this, ok, before, after, error]
                {
                    SetStatus(ok ? "Compacted: " + MiB(before) + " before, " + MiB(after) + " now."
                                 : error);
                });
        });
    LoadStats();
}

CorvaneChartFrame* OpenChartWindow(wxWindow* parent, const ChartTarget& target)
{
    auto* frame = new CorvaneChartFrame(parent, target);
    frame->Show();
    return frame;
}
