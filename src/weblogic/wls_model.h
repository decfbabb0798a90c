#pragma once

#include "alarm/scan_alarms.h"
#include "store/records.h"
#include "weblogic/wls_records.h"

#include <wx/string.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A heap size in bytes as the JVM list shows it: megabytes, "%4.2fM".
// Text that does not start with a number counts as 0 ("N/A" shows 0.00M).
wxString HeapMegabytes(const wxString& bytes);

// What a scan needs from the panel that runs it: the agent link, the display
// step, the log area and the alarm actions. Called on the thread that runs the
// scan (the panel's scan thread, or the GUI thread for the first report).
class WlsScanPort
{
public:
    virtual ~WlsScanPort() = default;

    // One exchange on the agent link; empty when it failed.
    virtual std::string Exchange(char command, const std::string& payload) = 0;
    virtual bool IsLinkAlive() = 0;
    // The link is gone: empty the log area, say so and return to idle.
    virtual void TakeBrokenLinkPath() = 0;
    // The display step for the report the model has just parsed; it ends
    // with the agent's message (WriteWlsLog kind 1) and the history hand-off.
    virtual void ShowWlsReport() = 0;
    // Appends text to the log area as it stands.
    virtual void WriteLog(const wxString& text) = 0;

    // The scan's alarm reaction, after every polled report, before the
    // thread dump. By default the designed actions below.
    virtual void FireAlarms(const ScanAlarms& alarms);
    virtual void PlaySound(const wxString& soundFile) = 0;
    virtual void SendSms(const wxString& alarmText) = 0;
    virtual void SendMail(const ActionSettings& settings, const wxString& alarmText) = 0;
};

// The monitoring state of one WebLogic site: the report parser, the record
// arrays and summary, the threshold marking and the per-scan alarm lists.
// No windows here. One thread at a time works on a model (the GUI thread at
// Start, the panel's scan thread afterwards); the rule and the action
// settings may be replaced from any thread.
class WlsModel
{
public:
    enum AlarmKind : int
    {
        AlarmDied = 16,
        AlarmHeap = 4,
        AlarmJdbc = 2,
        AlarmThread = 8,
    };

    enum ScanResult
    {
        ScanShown,    // a report was parsed, shown and its alarms fired
        ScanEmpty,    // empty reply on a usable link: nothing to do this tick
        ScanBroken,   // empty reply and the link is gone
        ScanRejected, // the reply did not parse
    };

    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_site; }
    bool IsWls8() const { return m_wls8; }

    void SetRule(const WlsAlarmRule& rule);
    WlsAlarmRule Rule() const;
    void SetActionSettings(const ActionSettings& settings);
    ActionSettings GetActionSettings() const;

    // The request document of the site held by the model.
    wxString BuildWlsRequest() const;

    // 1 when reply is a MONITOR document (records replaced, summary updated,
    // thresholds marked); -1 otherwise, leaving records and summary as they were.
    int ParseWlsReport(const std::string& reply);
    int ParseWlsReport(const char* data, std::size_t size);

    void MarkWlsThresholds();
    // Files a server under its kind; pool names the JDBC pool that fell low,
    // for the finding (server/pool).
    void NoteAlarmServer(const wxString& name, int kind, const wxString& pool = wxString());

    // One polled scan: request ']', then parse, show and fire the alarms.
    ScanResult PollScan(WlsScanPort& port);
    // After the display of a polled report: alarm text, actions, thread dump,
    // log lines, then the per-scan lists are emptied.
    void FireWlsAlarms(WlsScanPort& port);
    void RequestThreadDump(WlsScanPort& port);
    // Kind 1: the agent's errMsg (with the dumped servers); kind 2: one line
    // per non-empty offender list.
    void WriteWlsLog(int kind, WlsScanPort& port);

    // FireWlsAlarms steps 1-4: each non-empty offender list gains its suffix
    // and goes into the returned alarm text; the dumped-servers list gains
    // " Do ThreadDump !!!".
    wxString ComposeAlarmText();
    void ClearAlarms();

    const WlsServerList& Servers() const { return m_servers; }
    const WlsJvmList& Jvms() const { return m_jvms; }
    const WlsThreadList& Threads() const { return m_threads; }
    const WlsJdbcList& JdbcPools() const { return m_jdbc; }
    const WlsDomainSummary& Summary() const { return m_summary; }
    const wxString& Offenders(int kind) const;
    const wxString& DumpedServers() const { return m_dumpedServers; }
    const wxString& DumpLines() const { return m_dumpLines; }
    // Every object filed since the last ClearAlarms, each once.
    const std::vector<AlarmFinding>& Findings() const { return m_findings; }
    const std::string& LastReply() const { return m_lastReply; }
    void SetLastReply(const std::string& reply) { m_lastReply = reply; }

private:
    wxString& OffenderList(int kind);
    std::unordered_set<wxString>& FiledNames(int kind);
    // The positions of the server records of that name (built once per parse).
    const std::vector<std::size_t>* ServersNamed(const wxString& name);

    SiteRecord m_site;
    bool m_wls8 = false;

    mutable std::mutex m_settingsMutex;
    WlsAlarmRule m_rule;
    ActionSettings m_actions;

    std::string m_lastReply;
    std::vector<char> m_parseBuffer;
    WlsServerList m_servers;
    WlsJvmList m_jvms;
    WlsThreadList m_threads;
    WlsJdbcList m_jdbc;
    WlsDomainSummary m_summary;
    // The records of the report before the current one, refilled by the next
    // parse: their strings keep their room from scan to scan.
    struct
    {
        WlsServerList servers;
        WlsJvmList jvms;
        WlsThreadList threads;
        WlsJdbcList jdbc;
    } m_spare;

    wxString m_diedList;
    wxString m_heapList;
    wxString m_jdbcList;
    wxString m_threadList;
    wxString m_dumpedServers;
    wxString m_dumpLines;

    // Names filed exactly, per list: a name filed again needs no search of
    // the list's text. Only a shortcut: the substring test still decides.
    std::unordered_set<wxString> m_filed[4];
    std::unordered_set<wxString> m_dumpedNames;
    std::vector<AlarmFinding> m_findings;
    std::unordered_set<wxString> m_findingKeys; // kind and object of each finding
    std::unordered_map<wxString, std::vector<std::size_t>> m_serverIndex;
    bool m_serverIndexBuilt = false;
};
