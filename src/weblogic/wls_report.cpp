// The WebLogic report parser of WlsModel.
#include "weblogic/wls_model.h"

#include "common/report_xml.h"
#include "common/text.h"
#include "weblogic/wls_request.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstring>
#include <exception>
#include <string_view>
#include <utility>
#include <vector>

namespace
{
const char* const HealthTokens[] = {"HEALTH_OK", "HEALTH_WARN", "HEALTH_CRITICAL",
                                    "HEALTH_FAILED"};

const wxString& NotAvailable()
{
    static const wxString text("N/A");
    return text;
}

// Stores an attribute value (UTF-8 bytes, n of them) in dst. Values are
// mostly short ASCII numbers and names: those are widened here and assigned
// into the string's existing room, so a parse that reuses its records
// allocates next to nothing. Anything else is decoded (invalid bytes stay
// readable).
void Assign(wxString& dst, const char* value, std::size_t n)
{
    wchar_t wide[128];
    if (n < sizeof wide / sizeof wide[0])
    {
        for (std::size_t i = 0; i < n; ++i)
        {
            const unsigned char c = static_cast<unsigned char>(value[i]);
            if (c >= 0x80)
            {
                dst = FromUtf8(value, n);
                return;
            }
            wide[i] = static_cast<wchar_t>(c);
        }
        dst.assign(wide, n);
        return;
    }
    dst = FromUtf8(value, n);
}

// The value of a present attribute, or "N/A" for a missing one. Short ASCII
// values are widened as they are measured, in one pass.
void Assign(wxString& dst, const char* value)
{
    if (!value)
    {
        dst = NotAvailable();
        return;
    }
    // Names, versions and states rarely change from scan to scan: a value
    // equal to what the string holds is not stored again.
    const wchar_t* held = dst.wc_str();
    const std::size_t heldLength = dst.length();
    std::size_t n = 0;
    while (n < heldLength && held[n] < 0x80 && static_cast<unsigned char>(value[n]) == held[n])
        ++n;
    if (n == heldLength && value[n] == 0)
        return;
    wchar_t wide[128];
    n = 0;
    for (; n < sizeof wide / sizeof wide[0]; ++n)
    {
        const unsigned char c = static_cast<unsigned char>(value[n]);
        if (c == 0)
        {
            dst.assign(wide, n);
            return;
        }
        if (c >= 0x80)
            break;
        wide[n] = static_cast<wchar_t>(c);
    }
    Assign(dst, value, std::strlen(value));
}

// The reader parses the model's own copy of the report, in place, so every
// name it returns points into that copy; the copy ends in NameSlack spare
// bytes, so a name can be compared a whole wanted length at once without
// reading past it.
constexpr std::size_t NameSlack = 64;

inline bool NameIs(const char* name, std::string_view wanted)
{
    return std::memcmp(name, wanted.data(), wanted.size()) == 0 && name[wanted.size()] == '\0';
}

// The values of the wanted attributes of one element in a single pass over
// its attributes; nullptr where an attribute is missing. When an attribute
// appears twice the first one counts, as a by-name lookup would find it.
// Agents write the attributes of an element in one order, so each name is
// first compared with the one after the last match.
template <std::size_t N>
struct Attributes
{
    const char* value[N];

    Attributes(const pugi::xml_node& node, const std::string_view (&names)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            value[i] = nullptr;
        std::size_t expected = 0;
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        {
            const char* name = a.name();
            for (std::size_t k = 0; k < N; ++k)
            {
                const std::size_t i = (expected + k) % N;
                if (!value[i] && NameIs(name, names[i]))
                {
                    value[i] = a.value();
                    expected = i + 1;
                    break;
                }
            }
        }
    }

    void Get(std::size_t i, wxString& dst) const { Assign(dst, value[i]); }
    bool Is(std::size_t i, const char* text) const
    {
        return value[i] && std::strcmp(value[i], text) == 0;
    }
};

// The first health token the text contains replaces it; text with none is
// kept. The tokens are ASCII, so the bytes can be searched as they came.
void AssignHealth(wxString& dst, const char* value)
{
    if (value)
    {
        for (const char* token : HealthTokens)
        {
            if (std::strstr(value, token))
            {
                Assign(dst, token, std::strlen(token));
                return;
            }
        }
    }
    Assign(dst, value);
}

// The free percentage with "%" appended ("N/A%" when absent).
void AssignPercent(wxString& dst, const char* value)
{
    const char* text = value ? value : "N/A";
    const std::size_t n = std::strlen(text);
    char buffer[64];
    if (n + 1 < sizeof buffer)
    {
        std::memcpy(buffer, text, n);
        buffer[n] = '%';
        Assign(dst, buffer, n + 1);
    }
    else
    {
        Assign(dst, text, n);
        dst += "%";
    }
}

constexpr std::string_view ServerAttrs[] = {"serverName", "ListenPort", "State", "HealthState",
                                   "ListenAddress"};
constexpr std::string_view JvmAttrs[] = {"serverName",      "JavaVendor",  "JavaVersion",    "HeapFreeCurrent",
                                "HeapSizeCurrent", "HeapSizeMax", "HeapFreePercent"};
constexpr std::string_view QueueAttrs[] = {"serverName",
                                  "ExecuteThreadCurrentIdleCount",
                                  "ExecuteThreadTotalCount",
                                  "ServicedRequestTotalCount",
                                  "PendingRequestCurrentCount",
                                  "Name"};
constexpr std::string_view PoolAttrs[] = {"serverName", "ExecuteThreadIdleCount", "ExecuteThreadTotalCount",
                                 "Throughput", "QueueLength"};
constexpr std::string_view JdbcAttrs[] = {"serverName",   "ActiveConnectionsCurrentCount",
                                 "ActiveConnectionsHighCount",
                                 "CurrCapacity", "LeakedConnectionCount",
                                 "Name",         "State"};
constexpr std::string_view InitAttrs8[] = {"DomainVersion", "ActivationTime",        "ServerNum",
                                  "Name",          "AdminServerName",       "JDKVendor",
                                  "JDKVersion",    "OSName",                "OSVersion",
                                  "ProductionModeEnabled", "AgentVersion",  "GuardianEnabled",
                                  "RootDirectory"};
// WebLogic 9/10 agents spell the boot time with a lower-case t.
constexpr std::string_view InitAttrs9[] = {"DomainVersion", "Activationtime",        "ServerNum",
                                  "Name",          "AdminServerName",       "JDKVendor",
                                  "JDKVersion",    "OSName",                "OSVersion",
                                  "ProductionModeEnabled", "AgentVersion",  "GuardianEnabled",
                                  "RootDirectory"};
constexpr std::string_view SystemAttrs[] = {"errMsg"};

void ReadInitBuf(const pugi::xml_node& node, bool wls8, WlsDomainSummary& s)
{
    const Attributes<13> a(node, wls8 ? InitAttrs8 : InitAttrs9);
    wxString* const fields[13] = {&s.DomainVersion, &s.ActivationTime, &s.ServerNum,
                                  &s.DomainName,    &s.AdminServerName, &s.JDKVendor,
                                  &s.JDKVersion,    &s.OSName,         &s.OSVersion,
                                  &s.ProductionModeEnabled, &s.AgentVersion,
                                  &s.GuardianEnabled, &s.RootDirectory};
    for (std::size_t i = 0; i < 13; ++i)
        a.Get(i, *fields[i]);
}

// The next record of an array being refilled: an existing one (its strings
// keep their room) or a new one. Spare fields are emptied, the flags reset.
template <class Rec>
Rec& NextRecord(std::vector<Rec>& records, std::size_t& used)
{
    if (used == records.size())
        records.emplace_back();
    Rec& rec = records[used++];
    rec.Flags = 0;
    return rec;
}

void ReadServer(const pugi::xml_node& node, WlsServerRec& rec)
{
    const Attributes<5> a(node, ServerAttrs);
    a.Get(0, rec.ServerName);
    a.Get(1, rec.Port);
    a.Get(2, rec.State);
    AssignHealth(rec.Health, a.value[3]);
    a.Get(4, rec.URL);
    rec.Spare1.clear();
    rec.Spare2.clear();
}

void ReadJvm(const pugi::xml_node& node, WlsJvmRec& rec)
{
    const Attributes<7> a(node, JvmAttrs);
    a.Get(0, rec.ServerName);
    a.Get(1, rec.JVMVendor);
    a.Get(2, rec.JVMVersion);
    a.Get(3, rec.FreeHeap);
    a.Get(4, rec.CurrentHeap);
    a.Get(5, rec.HeapSizeMax);
    AssignPercent(rec.FreePercent, a.value[6]);
}

// Both thread elements list server, idle, total, throughput and queue length
// in their first five slots.
template <std::size_t N>
void ReadThreads(const Attributes<N>& a, WlsThreadRec& rec)
{
    a.Get(0, rec.ServerName);
    a.Get(1, rec.IdleCount);
    a.Get(2, rec.TotalCount);
    a.Get(3, rec.Throughput);
    a.Get(4, rec.QueueLength);
}

void ReadJdbc(const pugi::xml_node& node, WlsJdbcRec& rec)
{
    const Attributes<7> a(node, JdbcAttrs);
    a.Get(0, rec.ServerName);
    a.Get(1, rec.ActiveCurrent);
    a.Get(2, rec.ActiveHigh);
    a.Get(3, rec.CurrCapacity);
    a.Get(4, rec.LeakCount);
    a.Get(5, rec.JDBCName);
    a.Get(6, rec.State);
    rec.Spare1.clear();
    rec.Spare2.clear();
}

// A conforming reader takes exactly one document element and no text beside it.
} // namespace

wxString HeapMegabytes(const wxString& bytes)
{
    // The leading number only, read the same whatever the locale: blanks, a
    // sign, digits, a fraction and an exponent.
    const std::string text = ToUtf8(bytes);
    std::size_t i = text.find_first_not_of(" \t\n\r\f\v");
    if (i == std::string::npos)
        i = text.size();
    const std::size_t start = i;
    auto digits = [&](std::size_t from)
    {
        std::size_t j = from;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            ++j;
        return j;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t end = digits(i);
    bool any = end > i;
    if (end < text.size() && text[end] == '.')
    {
        const std::size_t fraction = digits(end + 1);
        any = any || fraction > end + 1;
        end = fraction;
    }
    if (any && end < text.size() && (text[end] == 'e' || text[end] == 'E'))
    {
        std::size_t e = end + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        const std::size_t exponent = digits(e);
        if (exponent > e)
            end = exponent;
    }
    double value = 0;
    if (!any || !wxString(text.substr(start, end - start)).ToCDouble(&value) || !std::isfinite(value))
        value = 0;
    return wxString::FromCDouble(value / 1048576.0, 2) + "M";
}

int WlsModel::ParseWlsReport(const std::string& reply)
{
    return ParseWlsReport(reply.data(), reply.size());
}

int WlsModel::ParseWlsReport(const char* data, std::size_t size)
{
    try
    {
        if (RefuseNulByte(data, size))
            return -1;
        pugi::xml_document doc;
        // The reader works in a copy it may change; the model keeps that copy's
        // room from one report to the next.
        m_parseBuffer.resize(size + NameSlack);
        std::memcpy(m_parseBuffer.data(), data, size);
        std::memset(m_parseBuffer.data() + size, 0, NameSlack);
        const pugi::xml_parse_result loaded = doc.load_buffer_inplace(
            m_parseBuffer.data(), size, kReportParseOptions, pugi::encoding_utf8);
        if (!IsOneReport(doc, loaded, data, size))
            return -1;
        const pugi::xml_node root = doc.document_element();
        if (!NameIs(root.name(), "MONITOR"))
            return -1;

        // Filled into the spare arrays and swapped in at the end, so a failure
        // half-way leaves the previous report whole; the spare records are
        // the ones of the report before, refilled in place.
        WlsDomainSummary summary = m_summary;
        WlsServerList& servers = m_spare.servers;
        WlsJvmList& jvms = m_spare.jvms;
        WlsThreadList& threads = m_spare.threads;
        WlsJdbcList& jdbc = m_spare.jdbc;
        std::size_t nServers = 0, nJvms = 0, nThreads = 0, nJdbc = 0;

        const pugi::xml_attribute date = root.attribute("Date");
        if (date)
            Assign(summary.LastUpdate, date.value());
        else
            summary.LastUpdate = "0";

        for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        {
            if (child.type() != pugi::node_element)
                continue;
            const char* name = child.name();
            switch (name[0])
            {
            case 'J':
                if (!m_wls8 && NameIs(name, "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans"))
                    ReadJdbc(child, NextRecord(jdbc, nJdbc));
                else if (NameIs(name, "JVMRuntime"))
                    ReadJvm(child, NextRecord(jvms, nJvms));
                else if (m_wls8 && NameIs(name, "JDBCConnectionPoolRuntime"))
                    ReadJdbc(child, NextRecord(jdbc, nJdbc));
                break;
            case 'S':
                if (NameIs(name, "ServerRuntime"))
                    ReadServer(child, NextRecord(servers, nServers));
                else if (NameIs(name, "SYSTEM"))
                {
                    const Attributes<1> a(child, SystemAttrs);
                    if (a.value[0])
                        Assign(summary.errMsg, a.value[0]);
                    else
                        summary.errMsg.clear();
                }
                break;
            case 'T':
                if (!m_wls8 && NameIs(name, "ThreadPoolRuntime"))
                    ReadThreads(Attributes<5>(child, PoolAttrs), NextRecord(threads, nThreads));
                break;
            case 'E':
                if (m_wls8 && NameIs(name, "ExecuteQueueRuntime"))
                {
                    const Attributes<6> a(child, QueueAttrs);
                    // Only the queue that serves applications counts.
                    if (a.Is(5, "weblogic.kernel.Default") || a.Is(5, "default"))
                        ReadThreads(a, NextRecord(threads, nThreads));
                }
                break;
            case 'I':
                if (NameIs(name, "INITBUF"))
                    ReadInitBuf(child, m_wls8, summary);
                break;
            default:
                break;
            }
        }
        servers.resize(nServers);
        jvms.resize(nJvms);
        threads.resize(nThreads);
        jdbc.resize(nJdbc);

        m_servers.swap(servers);
        m_jvms.swap(jvms);
        m_threads.swap(threads);
        m_jdbc.swap(jdbc);
        m_summary = std::move(summary);
        m_serverIndexBuilt = false;
    }
    catch (const std::exception&)
    {
        return -1;
    }
    MarkWlsThresholds();
    return 1;
}
