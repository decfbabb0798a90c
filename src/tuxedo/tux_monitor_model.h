#pragma once

#include "alarm/scan_alarms.h"
#include "store/records.h"
#include "tuxedo/tux_records.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pugi
{
class xml_document;
struct xml_parse_result;
} // namespace pugi

// The GUI-free half of a Tuxedo monitor panel: it reads agent reports into
// record arrays, applies the display filters and the queue threshold, compares
// the servers with the previous scan and collects the alarm names. HalvexPanel
// owns one; its ParseTuxReport, PassesFilter, CompareWithPreviousScan and
// NoteAlarmServer are these.
//
// Threads: the filter and the rule are set on the GUI thread and read by the
// parse, under a lock. Everything else belongs to whichever thread runs the
// panel's scan; the panel lets only one run at a time.

// Display filter state of a panel: name filters are "*" (no name filter) or
// the operator's text; kinds are 0 all, 1 idle only, 2 busy only.
struct TuxFilter
{
    wxString serverText = "*";
    wxString queueText = "*";
    int serverKind = 0;
    int queueKind = 0;
};

// Alarm kinds as NoteAlarmServer takes them.
enum TuxAlarmKind : int
{
    TuxAlarmBusy = 2,
    TuxAlarmIdle = 4,
    TuxAlarmDied = 8,
};

// The alarms of one scan: the alarm text handed to the actions, one log line
// per kind that fired (died, busy, idle), each with its suffix, and each
// filed program as a finding.
struct TuxAlarmReport
{
    wxString text;
    std::vector<wxString> lines;
    std::vector<AlarmFinding> findings;
};

class TuxMonitorModel
{
public:
    TuxMonitorModel();

    void SetFilter(const TuxFilter& filter);
    TuxFilter Filter() const;
    void SetRule(const TuxAlarmRule& rule);
    TuxAlarmRule Rule() const;

    // Reads one report (UTF-8 bytes). 1 when accepted; -1 for anything that is
    // not a well-formed document with the root "MONITOR", leaving every array
    // and value as it was.
    int ParseTuxReport(const char* data, std::size_t size);
    int ParseTuxReport(const std::string& reply) { return ParseTuxReport(reply.data(), reply.size()); }
    // The same, reading the document inside reply itself (no copy of a report
    // of megabytes); reply is used up.
    int ParseTuxReportInPlace(std::string& reply);

    // The visibility test: 1 when a record passes the filter. For a server,
    // value is the current service; for a queue, the queued count.
    static int PassesFilter(const TuxFilter& filter, const wxString& name, const wxString& value,
                            bool server);
    int PassesFilter(const wxString& name, const wxString& value, bool server) const;

    // Marks servers that stayed busy or idle and notes died ones; the parse
    // runs it last. Then keeps the current servers as the previous scan.
    // Servers are paired by process id: a previous one whose process id is
    // gone died when fewer servers of its program name run now than before.
    void CompareWithPreviousScan();
    // Files a program name under kind 8, 2 or 4 (others ignored); always 1.
    int NoteAlarmServer(const wxString& name, int kind);
    // Builds the scan's alarm text and log lines and empties the name lists.
    TuxAlarmReport TakeAlarms();
    // Start begins afresh: the first report only fills the previous scan.
    void ForgetPreviousScan() { m_noPrevious = true; }

    const TuxServerList& Servers() const { return m_serverBuf[m_cur]; }
    const TuxQueueList& Queues() const { return m_queues; }
    const TuxClientList& Clients() const { return m_clients; }
    const TuxServerList& PreviousServers() const;
    const TuxSystemRec& System() const { return m_system; }
    const TuxCountRec& Counts() const { return m_counts; }
    const TuxInitRec& Init() const { return m_init; }
    const wxString& LastUpdate() const { return m_lastUpdate; }
    const wxString& DiedList() const { return m_died; }
    const wxString& BusyList() const { return m_busy; }
    const wxString& IdleList() const { return m_idle; }

    // CoreFind and Reason are logged once: taking them empties them.
    wxString TakeCoreFind();
    wxString TakeReason();

private:
    int ReadReport(const pugi::xml_document& doc, const pugi::xml_parse_result& loaded,
                   const char* data, std::size_t size);
    void CompareWith(const TuxAlarmRule& rule);
    void CountProgramNames(const TuxServerList& previous, const TuxServerList& current);
    bool FewerRunNow(const TuxServerList& previous, const wxString& name) const;

    mutable std::mutex m_settingsMutex;
    TuxFilter m_filter;
    TuxAlarmRule m_rule;

    // Record storage is reused from scan to scan: assigning a value into a
    // string that already has room allocates nothing. The servers live in two
    // arrays that take turns: after a comparison the previous scan is the
    // current array itself, and the next report is read into the other one,
    // so keeping the previous scan copies nothing.
    TuxServerList m_serverBuf[2];
    int m_cur = 0;  // the current servers
    int m_prev = 0; // the previous scan's servers (often the same array)
    bool m_noPrevious = true;
    TuxQueueList m_queues;
    TuxClientList m_clients;
    std::vector<std::int16_t> m_keys;
    std::vector<std::uint32_t> m_order;

    // The comparison's hash slots (record index + 1, 0 empty), kept from scan
    // to scan: current servers by process id, and program names with their
    // previous and current counts (built only when a watched server is gone).
    std::vector<std::uint32_t> m_pidSlots;
    std::vector<std::uint8_t> m_paired;
    std::vector<std::uint32_t> m_nameSlots;
    std::vector<std::uint32_t> m_countBefore;
    std::vector<std::uint32_t> m_countNow;

    TuxSystemRec m_system;
    TuxCountRec m_counts;
    TuxInitRec m_init;
    wxString m_lastUpdate;

    wxString m_died;
    wxString m_busy;
    wxString m_idle;
    std::vector<AlarmFinding> m_findings;
};
