// The WebLogic report parser of WlsModel.
#include "weblogic/wls_model.h"

#include "common/text.h"
#include "weblogic/wls_request.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstring>
#include <exception>
#include <utility>

namespace
{
const char* const HealthTokens[] = {"HEALTH_OK", "HEALTH_WARN", "HEALTH_CRITICAL",
                                    "HEALTH_FAILED"};

// Attribute values are mostly ASCII numbers and names; they skip the UTF-8
// decoder. Anything else is decoded (invalid bytes stay readable).
wxString Text(const char* value)
{
    const std::size_t n = std::strlen(value);
    for (std::size_t i = 0; i < n; ++i)
    {
        if (static_cast<unsigned char>(value[i]) >= 0x80)
            return FromUtf8(value, n);
    }
    return n ? wxString::FromAscii(value, n) : wxString();
}

// The values of the wanted attributes of one element in a single pass over
// its attributes; nullptr where an attribute is missing. When an attribute
// appears twice the first one counts, as a by-name lookup would find it.
template <std::size_t N>
struct Attributes
{
    const char* value[N];

    Attributes(const pugi::xml_node& node, const char* const (&names)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            value[i] = nullptr;
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        {
            const char* name = a.name();
            for (std::size_t i = 0; i < N; ++i)
            {
                if (!value[i] && name[0] == names[i][0] && std::strcmp(name, names[i]) == 0)
                {
                    value[i] = a.value();
                    break;
                }
            }
        }
    }

    // The value as text, or the default of a missing attribute.
    wxString operator[](std::size_t i) const { return value[i] ? Text(value[i]) : wxString("N/A"); }
    bool Is(std::size_t i, const char* text) const
    {
        return value[i] && std::strcmp(value[i], text) == 0;
    }
};

wxString ReduceHealth(wxString health)
{
    for (const char* token : HealthTokens)
    {
        if (health.find(token) != wxString::npos)
            health = token;
    }
    return health;
}

bool NameIs(const char* name, const char* wanted)
{
    return std::strcmp(name, wanted) == 0;
}

const char* const ServerAttrs[] = {"serverName", "ListenPort", "State", "HealthState",
                                   "ListenAddress"};
const char* const JvmAttrs[] = {"serverName",      "JavaVendor",  "JavaVersion",    "HeapFreeCurrent",
                                "HeapSizeCurrent", "HeapSizeMax", "HeapFreePercent"};
const char* const QueueAttrs[] = {"serverName",
                                  "ExecuteThreadCurrentIdleCount",
                                  "ExecuteThreadTotalCount",
                                  "ServicedRequestTotalCount",
                                  "PendingRequestCurrentCount",
                                  "Name"};
const char* const PoolAttrs[] = {"serverName", "ExecuteThreadIdleCount", "ExecuteThreadTotalCount",
                                 "Throughput", "QueueLength"};
const char* const JdbcAttrs[] = {"serverName",   "ActiveConnectionsCurrentCount",
                                 "ActiveConnectionsHighCount",
                                 "CurrCapacity", "LeakedConnectionCount",
                                 "Name",         "State"};
const char* const InitAttrs8[] = {"DomainVersion", "ActivationTime",        "ServerNum",
                                  "Name",          "AdminServerName",       "JDKVendor",
                                  "JDKVersion",    "OSName",                "OSVersion",
                                  "ProductionModeEnabled", "AgentVersion",  "GuardianEnabled",
                                  "RootDirectory"};
// WebLogic 9/10 agents spell the boot time with a lower-case t.
const char* const InitAttrs9[] = {"DomainVersion", "Activationtime",        "ServerNum",
                                  "Name",          "AdminServerName",       "JDKVendor",
                                  "JDKVersion",    "OSName",                "OSVersion",
                                  "ProductionModeEnabled", "AgentVersion",  "GuardianEnabled",
                                  "RootDirectory"};
const char* const SystemAttrs[] = {"errMsg"};

void ReadInitBuf(const pugi::xml_node& node, bool wls8, WlsDomainSummary& s)
{
    const Attributes<13> a(node, wls8 ? InitAttrs8 : InitAttrs9);
    s.DomainVersion = a[0];
    s.ActivationTime = a[1];
    s.ServerNum = a[2];
    s.DomainName = a[3];
    s.AdminServerName = a[4];
    s.JDKVendor = a[5];
    s.JDKVersion = a[6];
    s.OSName = a[7];
    s.OSVersion = a[8];
    s.ProductionModeEnabled = a[9];
    s.AgentVersion = a[10];
    s.GuardianEnabled = a[11];
    s.RootDirectory = a[12];
}

// Both thread elements list server, idle, total, throughput and queue length
// in their first five slots.
template <std::size_t N>
WlsThreadRec ReadThreads(const Attributes<N>& a)
{
    WlsThreadRec rec;
    rec.ServerName = a[0];
    rec.IdleCount = a[1];
    rec.TotalCount = a[2];
    rec.Throughput = a[3];
    rec.QueueLength = a[4];
    return rec;
}

WlsJdbcRec ReadJdbc(const pugi::xml_node& node)
{
    const Attributes<7> a(node, JdbcAttrs);
    WlsJdbcRec rec;
    rec.ServerName = a[0];
    rec.ActiveCurrent = a[1];
    rec.ActiveHigh = a[2];
    rec.CurrCapacity = a[3];
    rec.LeakCount = a[4];
    rec.JDBCName = a[5];
    rec.State = a[6];
    return rec;
}

// A conforming reader takes exactly one document element and no text beside it.
bool SingleDocumentElement(const pugi::xml_document& doc)
{
    int elements = 0;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
    {
        if (n.type() == pugi::node_element)
            ++elements;
        else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
            return false;
    }
    return elements == 1;
}
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
        // A NUL byte is never part of XML; the reader would stop short at it
        // and take the beginning of the text for the whole report.
        if (!size || std::memchr(data, '\0', size))
            return -1;
        pugi::xml_document doc;
        if (!doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8))
            return -1;
        if (!SingleDocumentElement(doc))
            return -1;
        const pugi::xml_node root = doc.document_element();
        if (!NameIs(root.name(), "MONITOR"))
            return -1;

        // Built aside and swapped in at the end, so a failure half-way leaves
        // the previous report whole.
        WlsDomainSummary summary = m_summary;
        WlsServerList servers;
        WlsJvmList jvms;
        WlsThreadList threads;
        WlsJdbcList jdbc;

        const pugi::xml_attribute date = root.attribute("Date");
        summary.LastUpdate = date ? Text(date.value()) : wxString("0");

        for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        {
            if (child.type() != pugi::node_element)
                continue;
            const char* name = child.name();
            if (NameIs(name, "ServerRuntime"))
            {
                const Attributes<5> a(child, ServerAttrs);
                WlsServerRec rec;
                rec.ServerName = a[0];
                rec.Port = a[1];
                rec.State = a[2];
                rec.Health = ReduceHealth(a[3]);
                rec.URL = a[4];
                servers.push_back(std::move(rec));
            }
            else if (NameIs(name, "JVMRuntime"))
            {
                const Attributes<7> a(child, JvmAttrs);
                WlsJvmRec rec;
                rec.ServerName = a[0];
                rec.JVMVendor = a[1];
                rec.JVMVersion = a[2];
                rec.FreeHeap = a[3];
                rec.CurrentHeap = a[4];
                rec.HeapSizeMax = a[5];
                rec.FreePercent = a[6] + "%";
                jvms.push_back(std::move(rec));
            }
            else if (m_wls8 && NameIs(name, "ExecuteQueueRuntime"))
            {
                const Attributes<6> a(child, QueueAttrs);
                // Only the queue that serves applications counts.
                if (a.Is(5, "weblogic.kernel.Default") || a.Is(5, "default"))
                    threads.push_back(ReadThreads(a));
            }
            else if (!m_wls8 && NameIs(name, "ThreadPoolRuntime"))
            {
                threads.push_back(ReadThreads(Attributes<5>(child, PoolAttrs)));
            }
            else if (m_wls8 && NameIs(name, "JDBCConnectionPoolRuntime"))
            {
                jdbc.push_back(ReadJdbc(child));
            }
            else if (!m_wls8 && NameIs(name, "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans"))
            {
                jdbc.push_back(ReadJdbc(child));
            }
            else if (NameIs(name, "INITBUF"))
            {
                ReadInitBuf(child, m_wls8, summary);
            }
            else if (NameIs(name, "SYSTEM"))
            {
                const Attributes<1> a(child, SystemAttrs);
                summary.errMsg = a.value[0] ? Text(a.value[0]) : wxString();
            }
        }

        m_servers.swap(servers);
        m_jvms.swap(jvms);
        m_threads.swap(threads);
        m_jdbc.swap(jdbc);
        m_summary = std::move(summary);
    }
    catch (const std::exception&)
    {
        return -1;
    }
    MarkWlsThresholds();
    return 1;
}
