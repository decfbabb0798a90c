#include "tuxedo/tux_monitor_model.h"

#include "common/report_xml.h"
#include "common/text.h"

#include <wx/log.h>

#include <pugixml.hpp>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <type_traits>

namespace
{
const wchar_t kMissing[] = L"N/A";

// Attribute values are UTF-8. Nearly all are ASCII, which is widened straight
// into the destination's own storage (with room left from the previous
// report, nothing is allocated and nothing copied twice); anything else goes
// through the converter, which keeps invalid bytes readable.
static_assert(std::is_same<decltype(wxString().ToStdWstring()), const std::wstring&>::value,
              "wxString keeps its text in a std::wstring");

void AssignUtf8(wxString& dst, const char* src)
{
    const std::size_t n = std::strlen(src);
    unsigned char high = 0;
    for (std::size_t i = 0; i < n; ++i)
        high |= static_cast<unsigned char>(src[i]);
    if (high & 0x80)
    {
        dst = FromUtf8(src, n);
        return;
    }
    // The std::wstring is the wxString's whole text (no other state depends
    // on it in this build), so writing it in place is sound. A field mostly
    // keeps its length from one report to the next.
    std::wstring& text = const_cast<std::wstring&>(dst.ToStdWstring());
    if (text.size() != n)
        text.resize(n);
    wchar_t* out = &text[0];
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(src[i]);
}

// Names of elements and attributes are short: an inline comparison beats a
// library call here.
inline bool SameName(const char* a, const char* b)
{
    for (; *a == *b; ++a, ++b)
        if (*a == 0)
            return true;
    return false;
}

// atoi on text that is already wide: no conversion on the way.
int AtoiWide(const wxString& text)
{
    const wchar_t* p = text.wc_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*p - '0');
    if (negative)
        value = -value;
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

// Reads the named attributes of one element into their fields: the first of
// duplicate attributes wins, missing ones read "N/A". Agents write the
// attributes in table order, so the search starts after the last match.
template <std::size_t N>
void ReadAttributes(const pugi::xml_node& node, const char* const (&names)[N],
                    wxString* const (&fields)[N])
{
    bool seen[N] = {};
    std::size_t next = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    {
        const char* name = a.name();
        for (std::size_t k = 0; k < N; ++k)
        {
            const std::size_t i = (next + k) % N;
            if (!seen[i] && SameName(name, names[i]))
            {
                AssignUtf8(*fields[i], a.value());
                seen[i] = true;
                next = i + 1;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < N; ++i)
        if (!seen[i])
            fields[i]->assign(kMissing, 3);
}

enum class Element
{
    Other,
    Queue,
    Server,
    Client,
    System,
    Error,
    InitBuf,
};

Element KindOf(const char* name)
{
    switch (name[0])
    {
    case 'C': return SameName(name, "CLIENT") ? Element::Client : Element::Other;
    case 'Q': return SameName(name, "QUEUE") ? Element::Queue : Element::Other;
    case 'S':
        return SameName(name, "SERVER")   ? Element::Server
               : SameName(name, "SYSTEM") ? Element::System
                                                  : Element::Other;
    case 'E': return SameName(name, "ERROR") ? Element::Error : Element::Other;
    case 'I': return SameName(name, "INITBUF") ? Element::InitBuf : Element::Other;
    default: return Element::Other;
    }
}

// The sort key of servers and queues: atoi of field 4 reduced to a signed
// 16-bit number, so 40000 sorts before 10.
std::int16_t SortKey(const wxString& field)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(
        static_cast<unsigned int>(AtoiWide(field))));
}

void SwapRec(TuxServerRec& a, TuxServerRec& b)
{
    a.ProgName.swap(b.ProgName);
    a.QueueName.swap(b.QueueName);
    a.ProcessID.swap(b.ProcessID);
    a.Spare.swap(b.Spare);
    a.RqDone.swap(b.RqDone);
    a.SvrMin.swap(b.SvrMin);
    a.SvrMax.swap(b.SvrMax);
    a.CurrSvc.swap(b.CurrSvc);
    a.UseMem.swap(b.UseMem);
    std::swap(a.Flags, b.Flags);
}

void SwapRec(TuxQueueRec& a, TuxQueueRec& b)
{
    a.ProgName.swap(b.ProgName);
    a.Queueid.swap(b.Queueid);
    a.SrvCnt.swap(b.SrvCnt);
    a.Spare1.swap(b.Spare1);
    a.Queued.swap(b.Queued);
    a.Spare2.swap(b.Spare2);
    a.Spare3.swap(b.Spare3);
    std::swap(a.Flags, b.Flags);
}

const wxString& SortField(const TuxServerRec& r)
{
    return r.RqDone;
}

const wxString& SortField(const TuxQueueRec& r)
{
    return r.Queued;
}

// One stable sort per array (ascending key, equal keys in document order),
// then the records are moved into place by swapping their strings.
template <class Rec>
void SortByKey(std::vector<Rec>& records, std::vector<std::int16_t>& keys,
               std::vector<std::uint32_t>& order)
{
    const std::size_t n = records.size();
    keys.resize(n);
    bool sorted = true;
    for (std::size_t i = 0; i < n; ++i)
    {
        keys[i] = SortKey(SortField(records[i]));
        if (i > 0 && keys[i] < keys[i - 1])
            sorted = false;
    }
    if (sorted)
        return;
    order.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    // Apply the permutation cycle by cycle: position j receives old order[j].
    constexpr std::uint32_t kDone = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i)
    {
        if (order[i] == kDone)
            continue;
        std::size_t j = i;
        for (;;)
        {
            const std::size_t k = order[j];
            order[j] = kDone;
            if (k == i)
                break;
            SwapRec(records[j], records[k]);
            j = k;
        }
    }
}

// Hands out records of an array being refilled, reusing the storage of the
// previous report's records. Growing moves records by copying their strings
// (wxString cannot be moved), so the array grows in large steps.
template <class Rec>
class Refill
{
public:
    explicit Refill(std::vector<Rec>& records) : m_records(records) {}
    ~Refill() { m_records.resize(m_used); }
    Rec& Next()
    {
        if (m_used == m_records.size())
        {
            if (m_records.size() == m_records.capacity())
                m_records.reserve(std::max<std::size_t>(1024, m_records.capacity() * 4));
            m_records.emplace_back();
        }
        return m_records[m_used++];
    }

private:
    std::vector<Rec>& m_records;
    std::size_t m_used = 0;
};

// Hash slots for the comparison: FNV-1a over the text's characters.
std::uint32_t HashText(const wxString& text)
{
    std::uint32_t hash = 2166136261u;
    const wchar_t* p = text.wc_str();
    for (std::size_t i = 0, n = text.length(); i < n; ++i)
        hash = (hash ^ static_cast<std::uint32_t>(p[i])) * 16777619u;
    return hash;
}

// Empty slots for n entries: a power of two, at least twice n.
void ResetSlots(std::vector<std::uint32_t>& slots, std::size_t n)
{
    std::size_t size = 16;
    while (size < 2 * n)
        size *= 2;
    slots.assign(size, 0);
}

// Linear probing from the hash: the position of the first slot whose entry
// (slot - 1) satisfies match, or of the empty slot that ends the run.
template <class Match>
std::size_t Probe(const std::vector<std::uint32_t>& slots, std::uint32_t hash, Match match)
{
    const std::size_t mask = slots.size() - 1;
    std::size_t at = hash & mask;
    while (slots[at] != 0 && !match(slots[at] - 1))
        at = (at + 1) & mask;
    return at;
}
} // namespace

TuxMonitorModel::TuxMonitorModel() = default;

void TuxMonitorModel::SetFilter(const TuxFilter& filter)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_filter = filter;
}

TuxFilter TuxMonitorModel::Filter() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_filter;
}

void TuxMonitorModel::SetRule(const TuxAlarmRule& rule)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_rule = rule;
}

TuxAlarmRule TuxMonitorModel::Rule() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_rule;
}

int TuxMonitorModel::ParseTuxReport(const char* data, std::size_t size)
{
    if (RefuseNulByte(data, size))
        return -1;
    pugi::xml_document doc;
    const pugi::xml_parse_result loaded =
        doc.load_buffer(data, size, kReportParseOptions, pugi::encoding_utf8);
    return ReadReport(doc, loaded, data, size);
}

int TuxMonitorModel::ParseTuxReportInPlace(std::string& reply)
{
    if (RefuseNulByte(reply.data(), reply.size()))
        return -1;
    pugi::xml_document doc;
    // An error's line number is then counted in the text as the parse left
    // it, which is close enough for the log.
    const pugi::xml_parse_result loaded = doc.load_buffer_inplace(
        &reply[0], reply.size(), kReportParseOptions, pugi::encoding_utf8);
    return ReadReport(doc, loaded, reply.data(), reply.size());
}

int TuxMonitorModel::ReadReport(const pugi::xml_document& doc, const pugi::xml_parse_result& loaded,
                                const char* data, std::size_t size)
{
    if (!IsOneReport(doc, loaded, data, size))
        return -1;
    const pugi::xml_node root = doc.document_element();
    if (std::strcmp(root.name(), "MONITOR") != 0)
        return -1;

    const TuxFilter filter = Filter();
    const TuxAlarmRule rule = Rule();
    const int queuedThreshold = AtoiWide(rule.Queued);

    if (const pugi::xml_attribute date = root.attribute("Date"))
        AssignUtf8(m_lastUpdate, date.value());
    else
        m_lastUpdate.assign(kMissing, 3);

    // The servers go into the array that does not hold the previous scan.
    const int target = m_noPrevious ? m_cur : 1 - m_prev;
    {
        Refill<TuxServerRec> serverOut(m_serverBuf[target]);
        Refill<TuxQueueRec> queueOut(m_queues);
        Refill<TuxClientRec> clientOut(m_clients);
        for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        {
            if (child.type() != pugi::node_element)
                continue;
            switch (KindOf(child.name()))
            {
            case Element::Queue:
            {
                static const char* const names[] = {"Server", "Queueid", "SrvCnt", "Queued"};
                TuxQueueRec& q = queueOut.Next();
                wxString* const fields[] = {&q.ProgName, &q.Queueid, &q.SrvCnt, &q.Queued};
                ReadAttributes(child, names, fields);
                q.Spare1.clear();
                q.Spare2.clear();
                q.Spare3.clear();
                q.Flags = PassesFilter(filter, q.ProgName, q.Queued, false);
                if (AtoiWide(q.Queued) > queuedThreshold)
                    q.Flags |= TuxAlarmRow;
                break;
            }
            case Element::Server:
            {
                static const char* const names[] = {"Server",  "Queueid", "ProcessID",
                                                    "RqDone",  "CurrSvc", "SvrMin",
                                                    "SvrMax",  "UseMem"};
                TuxServerRec& sv = serverOut.Next();
                wxString* const fields[] = {&sv.ProgName, &sv.QueueName, &sv.ProcessID,
                                            &sv.RqDone,   &sv.CurrSvc,   &sv.SvrMin,
                                            &sv.SvrMax,   &sv.UseMem};
                ReadAttributes(child, names, fields);
                sv.Spare.clear();
                sv.Flags = PassesFilter(filter, sv.ProgName, sv.CurrSvc, true);
                break;
            }
            case Element::Client:
            {
                static const char* const names[] = {"Name", "ClientPID", "ClientAddr", "Status",
                                                    "ConTime"};
                TuxClientRec& c = clientOut.Next();
                wxString* const fields[] = {&c.Name, &c.ClientPID, &c.ClientAddr, &c.Status,
                                            &c.ConTime};
                ReadAttributes(child, names, fields);
                break;
            }
            case Element::System:
            {
                static const char* const names[] = {"CoreFind", "ErrorFind", "WarnFind",
                                                    "LargeFile", "FreeMem",  "IdleCPU",
                                                    "SvrCnt",   "QueCnt",    "CltCnt"};
                wxString* const fields[] = {&m_system.CoreFind,  &m_system.ErrorFind,
                                            &m_system.WarnFind,  &m_system.LargeFile,
                                            &m_system.FreeMem,   &m_system.IdleCPU,
                                            &m_counts.SvrCnt,    &m_counts.QueCnt,
                                            &m_counts.CltCnt};
                ReadAttributes(child, names, fields);
                break;
            }
            case Element::Error:
            {
                static const char* const names[] = {"Reason"};
                wxString* const fields[] = {&m_system.Reason};
                ReadAttributes(child, names, fields);
                break;
            }
            case Element::InitBuf:
            {
                static const char* const names[] = {"TuxVersion", "OSVersion", "TuxBootAt",
                                                    "AgentVersion"};
                wxString* const fields[] = {&m_init.TuxVersion, &m_init.OSVersion,
                                            &m_init.TuxBootAt, &m_init.AgentVersion};
                ReadAttributes(child, names, fields);
                break;
            }
            case Element::Other: break;
            }
        }
    }
    m_cur = target;

    SortByKey(m_serverBuf[m_cur], m_keys, m_order);
    SortByKey(m_queues, m_keys, m_order);
    CompareWith(rule);
    return 1;
}

int TuxMonitorModel::PassesFilter(const TuxFilter& filter, const wxString& name,
                                  const wxString& value, bool server)
{
    const wxString& nameFilter = server ? filter.serverText : filter.queueText;
    const int kind = server ? filter.serverKind : filter.queueKind;
    const bool noNameFilter = nameFilter == L"*";
    if (!noNameFilter)
        return ContainsText(nameFilter, name) ? 1 : 0; // a name filter overrides the kind
    int shown = 1;
    if (server)
    {
        const bool idle = value.find(L"IDLE") != wxString::npos;
        if ((kind == 1 && !idle) || (kind == 2 && idle))
            shown = 0;
    }
    else
    {
        const bool empty = value == L"0";
        if ((kind == 1 && !empty) || (kind == 2 && empty))
            shown = 0;
    }
    return shown;
}

int TuxMonitorModel::PassesFilter(const wxString& name, const wxString& value, bool server) const
{
    return PassesFilter(Filter(), name, value, server);
}

void TuxMonitorModel::CompareWithPreviousScan()
{
    CompareWith(Rule());
}

void TuxMonitorModel::CompareWith(const TuxAlarmRule& rule)
{
    TuxServerList& servers = m_serverBuf[m_cur];
    if (servers.empty() && m_queues.empty())
        return;
    const TuxServerList& previous = PreviousServers();
    if (!previous.empty())
    {
        // Pair by process id, not by place: the order follows the requests
        // done, so a server moves whenever another one dies or works. Equal
        // ids (an agent that sends none reads "N/A") pair up in list order.
        const std::size_t current = servers.size();
        ResetSlots(m_pidSlots, current);
        m_paired.assign(current, 0);
        for (std::size_t j = 0; j < current; ++j)
            m_pidSlots[Probe(m_pidSlots, HashText(servers[j].ProcessID),
                             [](std::uint32_t) { return false; })] = static_cast<std::uint32_t>(j + 1);
        bool counted = false;
        for (const TuxServerRec& before : previous)
        {
            const std::uint32_t slot =
                m_pidSlots[Probe(m_pidSlots, HashText(before.ProcessID),
                                 [&](std::uint32_t j)
                                 { return !m_paired[j] && servers[j].ProcessID == before.ProcessID; })];
            if (slot == 0)
            {
                // A restart under a new process id keeps the count: no death.
                // The counts come first: a long rule text costs more to search.
                if (rule.SvrDied.empty())
                    continue;
                if (!counted)
                    CountProgramNames(previous, servers);
                counted = true;
                if (FewerRunNow(previous, before.ProgName) &&
                    ContainsText(rule.SvrDied, before.ProgName))
                    NoteAlarmServer(before.ProgName, TuxAlarmDied);
                continue;
            }
            m_paired[slot - 1] = 1;
            TuxServerRec& now = servers[slot - 1];
            if (now.RqDone != before.RqDone)
                continue;
            const bool idle = now.CurrSvc == L"IDLE";
            if (!idle && ContainsText(rule.LongBusy, before.ProgName))
            {
                now.Flags |= TuxBusyLong | TuxAlarmRow;
                NoteAlarmServer(before.ProgName, TuxAlarmBusy);
            }
            if (idle && ContainsText(rule.NoTran, before.ProgName))
            {
                now.Flags |= TuxIdleLong | TuxAlarmRow;
                NoteAlarmServer(before.ProgName, TuxAlarmIdle);
            }
        }
    }
    // The current array becomes the previous scan as it stands, marks included.
    m_prev = m_cur;
    m_noPrevious = false;
}

// How many servers of each previous program name ran before and run now,
// kept under the name's first previous record.
void TuxMonitorModel::CountProgramNames(const TuxServerList& previous, const TuxServerList& current)
{
    ResetSlots(m_nameSlots, previous.size());
    m_countBefore.assign(previous.size(), 0);
    m_countNow.assign(previous.size(), 0);
    for (std::size_t i = 0; i < previous.size(); ++i)
    {
        const wxString& name = previous[i].ProgName;
        std::uint32_t& slot = m_nameSlots[Probe(m_nameSlots, HashText(name), [&](std::uint32_t k)
                                                { return previous[k].ProgName == name; })];
        if (slot == 0)
            slot = static_cast<std::uint32_t>(i + 1);
        ++m_countBefore[slot - 1];
    }
    for (const TuxServerRec& server : current)
    {
        const std::uint32_t slot =
            m_nameSlots[Probe(m_nameSlots, HashText(server.ProgName), [&](std::uint32_t k)
                              { return previous[k].ProgName == server.ProgName; })];
        if (slot != 0)
            ++m_countNow[slot - 1];
    }
}

bool TuxMonitorModel::FewerRunNow(const TuxServerList& previous, const wxString& name) const
{
    const std::uint32_t slot = m_nameSlots[Probe(m_nameSlots, HashText(name), [&](std::uint32_t k)
                                                 { return previous[k].ProgName == name; })];
    return slot != 0 && m_countNow[slot - 1] < m_countBefore[slot - 1];
}

const TuxServerList& TuxMonitorModel::PreviousServers() const
{
    static const TuxServerList none;
    return m_noPrevious ? none : m_serverBuf[m_prev];
}

int TuxMonitorModel::NoteAlarmServer(const wxString& name, int kind)
{
    wxString* list = nullptr;
    AlarmKind found = AlarmKind::Died;
    switch (kind)
    {
    case TuxAlarmDied:
        list = &m_died;
        break;
    case TuxAlarmBusy:
        list = &m_busy;
        found = AlarmKind::BusyTooLong;
        break;
    case TuxAlarmIdle:
        list = &m_idle;
        found = AlarmKind::IdleTooLong;
        break;
    default:
        return 1;
    }
    // Look for the whole entry, so that SVR is still filed after SVR1.
    const wxString entry = "[ " + name + "] ";
    if (list->find(entry) == wxString::npos)
    {
        *list += entry;
        m_findings.push_back({found, name});
    }
    return 1;
}

TuxAlarmReport TuxMonitorModel::TakeAlarms()
{
    TuxAlarmReport report;
    struct Kind
    {
        wxString* list;
        const char* suffix;
    };
    const Kind kinds[] = {{&m_died, " Died!!!"},
                          {&m_busy, " Busy Too Long!!!"},
                          {&m_idle, " Idle Too Long!!!"}};
    for (const Kind& k : kinds)
    {
        if (k.list->empty())
            continue;
        *k.list += k.suffix;
        report.text += *k.list;
        report.lines.push_back(*k.list);
        k.list->clear();
    }
    report.findings.swap(m_findings);
    return report;
}

wxString TuxMonitorModel::TakeCoreFind()
{
    wxString value;
    value.swap(m_system.CoreFind);
    return value;
}

wxString TuxMonitorModel::TakeReason()
{
    wxString value;
    value.swap(m_system.Reason);
    return value;
}
