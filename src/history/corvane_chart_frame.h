#pragma once

#include "history/chart_frame.h"
#include "history/history_reader.h"
#include "history/history_retention.h"
#include "history/history_worker.h"

#include <functional>
#include <memory>
#include <vector>

// What a chart window opens on; an empty site takes the first of the list,
// an empty object the first with rows, no metrics the kind's first.
struct ChartTarget
{
    wxString site;
    HistKind kind = HistKind::TuxServer;
    wxString object;
    std::vector<HistMetric> metrics;
};

// The chart window: reads any site's database directly (open in a panel or
// not), every query on a worker thread, and shows what it finds or why it
// found nothing.
class CorvaneChartFrame : public ChartFrame
{
public:
    explicit CorvaneChartFrame(wxWindow* parent, const ChartTarget& target = ChartTarget());
    ~CorvaneChartFrame() override;

    // Whether work posted to the worker has not come back yet.
    bool Loading() const { return m_pending > 0; }
    ChartCanvas* Canvas() const { return m_canvas; }
    wxString StatusText() const;
    wxString FileInfoText() const;

protected:
    void OnSite(wxCommandEvent& event) override;
    void OnKind(wxCommandEvent& event) override;
    void OnObject(wxCommandEvent& event) override;
    void OnMetric(wxCommandEvent& event) override;
    void OnRange(wxCommandEvent& event) override;
    void OnShow(wxCommandEvent& event) override;
    void OnExportPng(wxCommandEvent& event) override;
    void OnExportCsv(wxCommandEvent& event) override;
    void OnApplyKeep(wxCommandEvent& event) override;
    void OnCompact(wxCommandEvent& event) override;

private:
    // Runs job on the worker; its answer comes back through Deliver.
    void Post(HistoryWorker::Job job);
    // From the worker: runs fn on the GUI thread while the window lives.
    void Deliver(std::function<void()> fn);

    void SitesLoaded(const std::vector<HistSite>& sites, const wxString& error);
    void SelectSite(int index);
    void SiteOpened(const HistoryReader::Opened& opened, const std::vector<wxString>& objects,
                    int keepDays);
    void ObjectsLoaded(const std::vector<wxString>& objects);
    void FillMetrics();
    void Load();
    void LoadStats();
    void ShowStats(const HistFileStats& stats);
    bool Range(long long& from, long long& to);
    HistKind Kind() const;
    wxString SelectedObject() const;
    void SetStatus(const wxString& text);
    // The file an export goes to, chosen by the operator; empty for none.
    wxString ExportPath(const wxString& title, const wxString& extension);
    void ShowNothing(const wxString& message);

    ChartTarget m_target;
    std::vector<HistSite> m_sites;
    HistSite m_current;
    bool m_siteOk = false;
    std::vector<HistKind> m_kinds;
    HistKind m_metricsKind = HistKind::TuxServer;
    bool m_metricsFilled = false;
    int m_siteSeq = 0;
    int m_loadSeq = 0;
    int m_pending = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    HistoryWorker m_worker;
};

// Opens a new chart window, shown (the chart tool, and the lists' "Chart
// this ..." entries with their site, kind and object).
CorvaneChartFrame* OpenChartWindow(wxWindow* parent, const ChartTarget& target = ChartTarget());
