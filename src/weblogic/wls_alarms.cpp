// Threshold marking, alarm evaluation, thread dumps and the scan of WlsModel.
#include "weblogic/wls_model.h"

#include "common/clock.h"
#include "common/text.h"
#include "weblogic/wls_request.h"

namespace
{
// atoi of a record's text, read in place: only a leading number counts, so
// the text need not be converted whole (the marking reads thousands).
int Number(const wxString& text)
{
    const wchar_t* p = text.wc_str();
    const std::size_t length = text.length();
    std::size_t i = 0;
    while (i < length && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r')))
        ++i;
    // The sign and the digits after it are all that count; beyond a dozen
    // digits any int has saturated.
    char head[16];
    std::size_t n = 0;
    if (i < length && (p[i] == '+' || p[i] == '-'))
        head[n++] = static_cast<char>(p[i++]);
    for (; i < length && n + 1 < sizeof head && p[i] >= '0' && p[i] <= '9'; ++i)
        head[n++] = static_cast<char>(p[i]);
    head[n] = '\0';
    return AtoiBytes(head);
}

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

// A server the operator watches counts as died when it is down or going down,
// or as unstable when its health has failed: the agent reports a server that
// is not running from the domain's configuration, with its state.
static bool WlsServerDown(const WlsServerRec& server)
{
    static const char* const down[] = {"SHUTDOWN", "SHUTTING_DOWN", "FORCE_SHUTTING_DOWN", "FAILED",
                                       "FAILED_NOT_RESTARTABLE", "FAILED_RESTARTING", "UNKNOWN"};
    for (const char* state : down)
        if (server.State.IsSameAs(state, false))
            return true;
    return server.Health == "HEALTH_FAILED" || server.Health == "HEALTH_CRITICAL";
}

void WlsModel::MarkWlsThresholds()
{
    const WlsAlarmRule rule = Rule();

    // Watched like the Tuxedo rule's: the field names the servers.
    if (!rule.SvrDied.empty())
        for (const WlsServerRec& server : m_servers)
            if (!server.ServerName.empty() && ContainsText(rule.SvrDied, server.ServerName) &&
                WlsServerDown(server))
                NoteAlarmServer(server.ServerName, AlarmDied);

    // The comparisons keep the precision agents in the field were tuned
    // against: JVM percentages as doubles, thread and JDBC ratios as floats.
    // 0 of 0 gives NaN and never alarms; a negative free count over 0 gives
    // minus infinity and does.
    if (!rule.FreeHeap.empty())
    {
        const double t = AtoiText(rule.FreeHeap) / 100.0;
        for (WlsJvmRec& jvm : m_jvms)
        {
            const double f = Number(jvm.FreePercent) / 100.0;
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
            if (RatioBelow(t, Number(pool.IdleCount), Number(pool.TotalCount)))
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
            const double capacity = Number(pool.CurrCapacity);
            if (RatioBelow(t, capacity - Number(pool.ActiveCurrent), capacity))
            {
                pool.Flags |= WlsJdbcLow | WlsAlarmRow;
                NoteAlarmServer(pool.ServerName, AlarmJdbc, pool.JDBCName);
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

std::unordered_set<wxString>& WlsModel::FiledNames(int kind)
{
    switch (kind)
    {
    case AlarmDied:
        return m_filed[0];
    case AlarmHeap:
        return m_filed[1];
    case AlarmJdbc:
        return m_filed[2];
    default:
        return m_filed[3];
    }
}

const std::vector<std::size_t>* WlsModel::ServersNamed(const wxString& name)
{
    if (!m_serverIndexBuilt)
    {
        m_serverIndex.clear();
        for (std::size_t i = 0; i < m_servers.size(); ++i)
            m_serverIndex[m_servers[i].ServerName].push_back(i);
        m_serverIndexBuilt = true;
    }
    const auto found = m_serverIndex.find(name);
    return found == m_serverIndex.end() ? nullptr : &found->second;
}

void WlsModel::NoteAlarmServer(const wxString& name, int kind, const wxString& pool)
{
    if (kind != AlarmDied && kind != AlarmHeap && kind != AlarmJdbc && kind != AlarmThread)
        return;
    const AlarmFinding finding{kind == AlarmDied   ? ::AlarmKind::Died
                               : kind == AlarmHeap ? ::AlarmKind::JvmHeapLow
                               : kind == AlarmJdbc ? ::AlarmKind::JdbcLow
                                                   : ::AlarmKind::ThreadLow,
                               pool.empty() ? name : name + "/" + pool};
    wxString key(static_cast<wchar_t>(L'0' + static_cast<int>(finding.kind)), 1);
    key << finding.object;
    if (m_findingKeys.insert(key).second)
        m_findings.push_back(finding);
    wxString& list = OffenderList(kind);
    std::unordered_set<wxString>& filed = FiledNames(kind);
    // Whole names, not substrings: srv1 must still alarm after srv10 (a
    // substring test silently dropped it). The same name is filed once.
    if (!filed.count(name))
    {
        list << L"[ " << name << L"] ";
        filed.insert(name);
    }
    if (kind == AlarmDied || kind == AlarmHeap)
        return;
    if (m_dumpedNames.count(name))
        return;
    const std::vector<std::size_t>* servers = ServersNamed(name);
    if (!servers)
        return;
    // A JDBC alarm dumps the first server of the name, a thread alarm each.
    for (const std::size_t i : *servers)
    {
        const WlsServerRec& server = m_servers[i];
        m_dumpLines << (kind == AlarmJdbc ? JdbcDumpLine(server.ServerName, server.URL, server.Port)
                                          : ThreadDumpLine(server.ServerName, server.URL, server.Port));
        m_dumpedServers << L"[ " << name << L"] ";
        m_dumpedNames.insert(name);
        if (kind == AlarmJdbc)
            break;
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
    for (auto& names : m_filed)
        names.clear();
    m_dumpedNames.clear();
    m_findings.clear();
    m_findingKeys.clear();
}

void WlsScanPort::FireAlarms(const ScanAlarms& alarms)
{
    AlarmActions actions;
    actions.playSound = [this](const wxString& file) { PlaySound(file); };
    actions.sendSms = [this](const wxString& text) { SendSms(text); };
    actions.sendMail = [this](const ActionSettings& settings, const wxString& text)
    { SendMail(settings, text); };
    FireScanAlarms(alarms, actions);
}

void WlsModel::FireWlsAlarms(WlsScanPort& port)
{
    const WlsAlarmRule rule = Rule();
    ScanAlarms alarms;
    alarms.siteName = m_site.SiteName;
    alarms.text = ComposeAlarmText();
    alarms.findings = m_findings;
    alarms.playSound = FlagOn(rule.PlaySound);
    alarms.sendSms = FlagOn(rule.SMS);
    alarms.sendMail = FlagOn(rule.Email);
    alarms.threadDump = FlagOn(rule.ThreadDump);
    alarms.settings = GetActionSettings();
    port.FireAlarms(alarms);
    if (!alarms.text.empty() && alarms.threadDump)
        RequestThreadDump(port);
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
