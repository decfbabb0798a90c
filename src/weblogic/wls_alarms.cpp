// Threshold marking, alarm evaluation, thread dumps and the scan of WlsModel.
#include "weblogic/wls_model.h"

#include "common/clock.h"
#include "common/text.h"
#include "weblogic/wls_request.h"

namespace
{
// The share free / total, kept as a float like the threshold it meets.
bool RatioBelow(float threshold, double free, double total)
{
    return threshold > static_cast<float>(free / total);
}
} // namespace

void WlsModel::SetSite(const SiteRecord& site)
{
    m_site = site;
    m_wls8 = ::IsWls8(site.WlsVer);
}

void WlsModel::SetRule(const WlsAlarmRule& rule)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_rule = rule;
}

WlsAlarmRule WlsModel::Rule() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_rule;
}

void WlsModel::SetActionSettings(const ActionSettings& settings)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_actions = settings;
}

ActionSettings WlsModel::GetActionSettings() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_actions;
}

wxString WlsModel::BuildWlsRequest() const
{
    return ::BuildWlsRequest(m_site);
}

void WlsModel::MarkWlsThresholds()
{
    const WlsAlarmRule rule = Rule();

    // The comparisons keep the precision agents in the field were tuned
    // against: JVM percentages as doubles, thread and JDBC ratios as floats.
    // 0 of 0 gives NaN and never alarms; a negative free count over 0 gives
    // minus infinity and does.
    if (!rule.FreeHeap.empty())
    {
        const double t = AtoiText(rule.FreeHeap) / 100.0;
        for (WlsJvmRec& jvm : m_jvms)
        {
            const double f = AtoiText(jvm.FreePercent) / 100.0;
            if (t > f)
            {
                jvm.Flags |= WlsHeapLow | WlsAlarmRow;
                NoteAlarmServer(jvm.ServerName, AlarmHeap);
            }
        }
    }
    if (!rule.IdleThread.empty())
    {
        const float t = static_cast<float>(AtoiText(rule.IdleThread) / 100.0);
        for (WlsThreadRec& pool : m_threads)
        {
            if (RatioBelow(t, AtoiText(pool.IdleCount), AtoiText(pool.TotalCount)))
            {
                pool.Flags |= WlsThreadLow | WlsAlarmRow;
                NoteAlarmServer(pool.ServerName, AlarmThread);
            }
        }
    }
    if (!rule.IdleJDBC.empty())
    {
        const float t = static_cast<float>(AtoiText(rule.IdleJDBC) / 100.0);
        for (WlsJdbcRec& pool : m_jdbc)
        {
            const double capacity = AtoiText(pool.CurrCapacity);
            if (RatioBelow(t, capacity - AtoiText(pool.ActiveCurrent), capacity))
            {
                pool.Flags |= WlsJdbcLow | WlsAlarmRow;
                NoteAlarmServer(pool.ServerName, AlarmJdbc);
            }
        }
    }
}

wxString& WlsModel::OffenderList(int kind)
{
    switch (kind)
    {
    case AlarmDied:
        return m_diedList;
    case AlarmHeap:
        return m_heapList;
    case AlarmJdbc:
        return m_jdbcList;
    default:
        return m_threadList;
    }
}

const wxString& WlsModel::Offenders(int kind) const
{
    return const_cast<WlsModel*>(this)->OffenderList(kind);
}

void WlsModel::NoteAlarmServer(const wxString& name, int kind)
{
    if (kind != AlarmDied && kind != AlarmHeap && kind != AlarmJdbc && kind != AlarmThread)
        return;
    wxString& list = OffenderList(kind);
    if (!ContainsText(list, name))
        list << "[ " << name << "] ";
    if (kind == AlarmDied || kind == AlarmHeap)
        return;
    if (ContainsText(m_dumpedServers, name))
        return;
    for (const WlsServerRec& server : m_servers)
    {
        if (server.ServerName != name)
            continue;
        if (kind == AlarmJdbc)
        {
            m_dumpLines << JdbcDumpLine(server.ServerName, server.URL, server.Port);
            m_dumpedServers << "[ " << name << "] ";
            return; // the first match only
        }
        m_dumpLines << ThreadDumpLine(server.ServerName, server.URL, server.Port);
        m_dumpedServers << "[ " << name << "] ";
    }
}

wxString WlsModel::ComposeAlarmText()
{
    wxString text;
    const struct
    {
        wxString* list;
        const char* suffix;
    } kinds[] = {{&m_diedList, " Died!!!"},
                 {&m_heapList, " JVM Heap Too Low!!!"},
                 {&m_jdbcList, " Free JDBC Too Low!!!"},
                 {&m_threadList, " Free Thread Too Low!!!"}};
    for (const auto& kind : kinds)
    {
        if (kind.list->empty())
            continue;
        *kind.list << kind.suffix;
        text << *kind.list;
    }
    if (!m_dumpedServers.empty())
        m_dumpedServers << " Do ThreadDump !!!";
    return text;
}

void WlsModel::ClearAlarms()
{
    m_diedList.clear();
    m_heapList.clear();
    m_jdbcList.clear();
    m_threadList.clear();
    m_dumpedServers.clear();
    m_dumpLines.clear();
}

void WlsModel::FireWlsAlarms(WlsScanPort& port)
{
    const wxString text = ComposeAlarmText();
    const WlsAlarmRule rule = Rule();
    if (!text.empty())
    {
        const ActionSettings settings = GetActionSettings();
        if (FlagOn(rule.PlaySound))
            port.PlaySound(settings.SoundFile);
        if (FlagOn(rule.SMS))
            port.SendSms(text);
        if (FlagOn(rule.Email))
            port.SendMail(settings, text);
        if (FlagOn(rule.ThreadDump))
            RequestThreadDump(port);
    }
    WriteWlsLog(2, port);
    ClearAlarms();
}

void WlsModel::RequestThreadDump(WlsScanPort& port)
{
    m_lastReply = port.Exchange('a', ToUtf8(BuildThreadDumpRequest(m_dumpLines)));
    if (m_lastReply.empty())
    {
        if (!port.IsLinkAlive())
            port.TakeBrokenLinkPath();
        return;
    }
    // An answer that does not parse is dropped without a word.
    if (ParseWlsReport(m_lastReply) == 1)
        WriteWlsLog(1, port);
}

void WlsModel::WriteWlsLog(int kind, WlsScanPort& port)
{
    if (kind == 1)
    {
        if (m_summary.errMsg.empty())
            return;
        port.WriteLog(WarnPrefix() + m_dumpedServers + m_summary.errMsg + "\n");
        m_summary.errMsg.clear();
        return;
    }
    if (kind == 2)
    {
        for (const wxString* list : {&m_diedList, &m_heapList, &m_jdbcList, &m_threadList})
        {
            if (!list->empty())
                port.WriteLog(WarnPrefix() + *list + "\n");
        }
    }
}

WlsModel::ScanResult WlsModel::PollScan(WlsScanPort& port)
{
    m_lastReply = port.Exchange(']', std::string());
    if (m_lastReply.empty())
    {
        if (port.IsLinkAlive())
            return ScanEmpty;
        port.TakeBrokenLinkPath();
        return ScanBroken;
    }
    if (ParseWlsReport(m_lastReply) != 1)
        return ScanRejected;
    port.ShowWlsReport();
    FireWlsAlarms(port);
    return ScanShown;
}
