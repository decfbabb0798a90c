#pragma once

// The two kinds of scan a SiteMonitor runs; private to the monitor library.

#include "monitor/site_monitor.h"
#include "tuxedo/tux_monitor_model.h"
#include "weblogic/wls_model.h"

class SiteMonitor::Scanner
{
public:
    explicit Scanner(SiteMonitor& monitor) : m(monitor) {}
    virtual ~Scanner() = default;

    virtual int LoadRule(DbAccess& db) = 0;
    // Monitor's thread, while no scan runs: the site was set.
    virtual void SetSite(const SiteRecord& site) = 0;
    // Monitor's thread, in Start once the link is up: '^' and the first report.
    virtual ScanOutcome StartReport(unsigned run, bool recording) = 0;
    // Scan thread: one poll.
    virtual ScanOutcome Poll(unsigned run, bool recording) = 0;
    virtual std::shared_ptr<const SiteReport> Load(std::string reply) = 0;

protected:
    // A report of this scan, its records still to be filled in.
    static std::shared_ptr<SiteReport> NewReport(SiteKind kind, bool accepted, bool atStart)
    {
        auto report = std::make_shared<SiteReport>();
        report->kind = kind;
        report->accepted = accepted;
        report->atStart = atStart;
        report->time = std::chrono::system_clock::now();
        return report;
    }

    SiteMonitor& m;
};

class TuxScanner : public SiteMonitor::Scanner
{
public:
    using Scanner::Scanner;

    int LoadRule(DbAccess& db) override;
    void SetSite(const SiteRecord&) override {}
    ScanOutcome StartReport(unsigned run, bool recording) override;
    ScanOutcome Poll(unsigned run, bool recording) override;
    std::shared_ptr<const SiteReport> Load(std::string reply) override;

    TuxMonitorModel model;

private:
    // What the display, the history and LastReport read of the model now.
    std::shared_ptr<SiteReport> Snapshot(bool accepted, bool atStart);
    // The rows of a report, for the writer.
    static std::function<bool(DbAccess&)> Rows(const std::shared_ptr<const TuxReportData>& data);

    wxString m_siteName; // of the run, taken at Start
};

class WlsScanner : public SiteMonitor::Scanner, private WlsScanPort
{
public:
    using Scanner::Scanner;

    int LoadRule(DbAccess& db) override;
    void SetSite(const SiteRecord& site) override { model.SetSite(site); }
    ScanOutcome StartReport(unsigned run, bool recording) override;
    ScanOutcome Poll(unsigned run, bool recording) override;
    std::shared_ptr<const SiteReport> Load(std::string reply) override;

    WlsModel model;

private:
    std::shared_ptr<SiteReport> Snapshot(bool accepted, bool atStart);

    // WlsScanPort, on the thread that runs the scan.
    std::string Exchange(char command, const std::string& payload) override;
    bool IsLinkAlive() override;
    void TakeBrokenLinkPath() override;
    void ShowWlsReport() override;
    void WriteLog(const wxString& text) override;
    void FireAlarms(const ScanAlarms& alarms) override;
    // FireAlarms takes the place of these.
    void PlaySound(const wxString&) override {}
    void SendSms(const wxString&) override {}
    void SendMail(const ActionSettings&, const wxString&) override {}

    // The scan in progress (or Start's first report).
    unsigned m_run = 0;
    bool m_recording = false;
    bool m_atStart = false;
    bool m_accepted = false;
    bool m_historyFailed = false;
};
