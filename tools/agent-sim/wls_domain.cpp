#include "wls_domain.h"

#include "sim_xml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>

namespace
{
const char* const PoolNames[] = {"OrderDS", "CustomerDS", "BillingDS", "AuditDS", "ReportDS",
                                 "StockDS"};
constexpr int PoolNameCount = sizeof PoolNames / sizeof PoolNames[0];

// Per mille, per poll, for the whole domain.
constexpr int FailChance = 80;
constexpr int ThreadRushChance = 180;
constexpr int PoolRushChance = 150;

constexpr long long MiB = 1024 * 1024;

struct VersionFacts
{
    const char* domainVersion;
    const char* jdkVendor;
    const char* jdkVersion;
};

VersionFacts Facts(int version)
{
    switch (version)
    {
    case 8: return {"8.1.6.0", "BEA Systems, Inc.", "1.4.2_11"};
    case 9: return {"9.2.3.0", "BEA Systems, Inc.", "1.5.0_12"};
    default: return {"10.3.0.0", "Sun Microsystems Inc.", "1.6.0_05"};
    }
}

std::string Health(const char* state, const std::string& server)
{
    return std::string("Component:ServerRuntime,State:") + state + ",MBean:" + server +
           ",ReasonCode:[]";
}
} // namespace

WlsDomain::WlsDomain(const Config& config, long long bootTime)
    : m_config(config), m_random(config.seed), m_activation(FormatStamp(bootTime))
{
    for (int i = 0; i < config.servers; ++i)
    {
        Server s;
        s.name = i == 0 ? "AdminServer" : "ManagedServer_" + std::to_string(i);
        s.address = "10.0." + std::to_string(1 + i / 250) + "." + std::to_string(10 + i % 250);
        s.port = 7001 + i;
        s.heapMax = (i == 0 ? 512 : 1024) * MiB;
        FreshHeap(s);
        s.threadsTotal = static_cast<int>(m_random.Range(15, 40));
        s.threadsIdle = s.threadsTotal - static_cast<int>(m_random.Range(0, 5));
        s.completed = m_random.Range(1000, 90000);
        for (int p = 0; p < config.pools; ++p)
        {
            Pool pool;
            pool.name = PoolNames[p % PoolNameCount];
            if (p >= PoolNameCount)
                pool.name += std::to_string(p / PoolNameCount);
            pool.capacity = static_cast<int>(m_random.Range(10, 30));
            pool.active = static_cast<int>(m_random.Range(0, pool.capacity / 2));
            pool.high = pool.active;
            s.pools.push_back(pool);
        }
        m_servers.push_back(std::move(s));
    }
}

void WlsDomain::FreshHeap(Server& s)
{
    s.heapSize = s.heapMax * m_random.Range(50, 80) / 100;
    s.heapFree = s.heapMax * m_random.Range(55, 80) / 100;
}

void WlsDomain::Step()
{
    // A managed server fails now and then; the admin server stays up.
    if (m_servers.size() > 1 && m_random.Chance(FailChance))
    {
        Server& s = m_servers[1 + m_random.Below(m_servers.size() - 1)];
        if (s.downPolls == 0)
            s.downPolls = static_cast<int>(m_random.Range(2, 3));
    }
    Server* rushedThreads = nullptr;
    if (!m_servers.empty() && m_random.Chance(ThreadRushChance))
        rushedThreads = &m_servers[m_random.Below(m_servers.size())];
    Pool* rushedPool = nullptr;
    if (!m_servers.empty() && m_random.Chance(PoolRushChance))
    {
        Server& s = m_servers[m_random.Below(m_servers.size())];
        if (!s.pools.empty())
            rushedPool = &s.pools[m_random.Below(s.pools.size())];
    }

    for (Server& s : m_servers)
    {
        if (s.downPolls > 0)
        {
            if (--s.downPolls == 0)
            {
                FreshHeap(s);
                s.threadsIdle = s.threadsTotal;
                s.queueLength = 0;
                for (Pool& p : s.pools)
                    p.active = p.high = 0;
            }
            continue;
        }
        // The heap fills until a collection frees most of it; sometimes the
        // collection comes late and free heap runs low first.
        s.heapFree -= s.heapMax * m_random.Range(3, 12) / 100;
        if (s.heapFree < s.heapMax * m_random.Range(3, 25) / 100)
            s.heapFree = s.heapMax * m_random.Range(45, 80) / 100;
        s.heapFree = std::max<long long>(s.heapFree, s.heapMax / 100);
        s.heapSize = std::clamp<long long>(s.heapSize + m_random.Range(-8, 8) * MiB,
                                           s.heapMax / 2, s.heapMax);
        s.heapFree = std::min(s.heapFree, s.heapSize);

        const int used = static_cast<int>(m_random.Range(0, s.threadsTotal / 3));
        s.threadsIdle = s.threadsTotal - used;
        s.queueLength = static_cast<int>(m_random.Range(0, 2));
        if (&s == rushedThreads)
        {
            s.threadsIdle = static_cast<int>(m_random.Range(0, 1));
            s.queueLength = static_cast<int>(m_random.Range(5, 40));
        }
        const long long done = m_random.Range(50, 900);
        s.completed += done;
        s.throughput = static_cast<double>(done) / 30.0;

        for (Pool& p : s.pools)
        {
            p.active = static_cast<int>(
                std::clamp<long long>(p.active + m_random.Range(-3, 3), 0, p.capacity - 1));
            if (&p == rushedPool)
            {
                p.active = p.capacity;
                if (m_random.Chance(300))
                    ++p.leaked;
            }
            p.high = std::max(p.high, p.active);
        }
    }
}

int WlsDomain::RunningServers() const
{
    return static_cast<int>(std::count_if(m_servers.begin(), m_servers.end(),
                                          [](const Server& s) { return s.downPolls == 0; }));
}

std::string WlsDomain::Report(long long now, bool v8Layout, const std::string& errMsg) const
{
    const VersionFacts facts = Facts(m_config.version);
    std::string out;
    out.reserve(1024 + m_servers.size() * (900 + 250 * static_cast<size_t>(m_config.pools)));
    XmlOut x(out);
    x.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MONITOR");
    x.Attr("Date", FormatStamp(now));
    x.Raw(">\n<INITBUF");
    x.Attr("DomainVersion", facts.domainVersion);
    x.Attr(v8Layout ? "ActivationTime" : "Activationtime", m_activation);
    x.Attr("ServerNum", static_cast<int>(m_servers.size()));
    x.Attr("Name", "base_domain");
    x.Attr("AdminServerName", "AdminServer");
    x.Attr("JDKVendor", facts.jdkVendor);
    x.Attr("JDKVersion", facts.jdkVersion);
    x.Attr("OSName", "Linux");
    x.Attr("OSVersion", "6.1.0");
    x.Attr("ProductionModeEnabled", "true");
    x.Attr("AgentVersion", "corvane-agent-sim 1.0");
    x.Attr("GuardianEnabled", "false");
    x.Attr("RootDirectory", "/u01/domains/base_domain");
    x.Raw("/>\n<SYSTEM");
    x.Attr("errMsg", errMsg);
    x.Raw("/>\n");

    char number[32];
    for (const Server& s : m_servers)
    {
        const bool up = s.downPolls == 0;
        const long long freePercent = s.heapMax ? s.heapFree * 100 / s.heapMax : 0;
        const char* health = !up ? "HEALTH_FAILED" : (freePercent < 10 ? "HEALTH_WARN" : "HEALTH_OK");
        x.Raw("<ServerRuntime");
        x.Attr("serverName", s.name);
        x.Attr("Name", s.name);
        x.Attr("ListenAddress", s.address);
        x.Attr("ListenPort", s.port);
        x.Attr("State", up ? "RUNNING" : "FAILED");
        x.Attr("HealthState", Health(health, s.name));
        x.Attr("WeblogicVersion", facts.domainVersion);
        x.Attr("OpenSocketsCurrentCount", up ? 3 + s.threadsTotal - s.threadsIdle : 0);
        x.Attr("ActivationTime", m_activation);
        x.Raw("/>\n");
        if (!up)
            continue; // a failed server answers no runtime queries

        x.Raw("<JVMRuntime");
        x.Attr("serverName", s.name);
        x.Attr("OSName", "Linux");
        x.Attr("OSVersion", "6.1.0");
        x.Attr("JavaVendor", facts.jdkVendor);
        x.Attr("JavaVMVendor", facts.jdkVendor);
        x.Attr("JavaVersion", facts.jdkVersion);
        x.Attr("HeapFreeCurrent", s.heapFree);
        x.Attr("HeapSizeCurrent", s.heapSize);
        x.Attr("HeapSizeMax", s.heapMax);
        x.Attr("HeapFreePercent", freePercent);
        x.Raw("/>\n");

        if (v8Layout)
        {
            struct Kernel
            {
                const char* name;
                int total;
                int idle;
                int pending;
                long long served;
            };
            const Kernel queues[] = {
                {"weblogic.kernel.Default", s.threadsTotal, s.threadsIdle, s.queueLength,
                 s.completed},
                {"weblogic.admin.HTTP", 2, 2, 0, s.completed / 50},
                {"weblogic.admin.RMI", 3, 3, 0, s.completed / 80},
            };
            for (const Kernel& k : queues)
            {
                x.Raw("<ExecuteQueueRuntime");
                x.Attr("serverName", s.name);
                x.Attr("Name", k.name);
                x.Attr("ServicedRequestTotalCount", k.served);
                x.Attr("ExecuteThreadTotalCount", k.total);
                x.Attr("ExecuteThreadCurrentIdleCount", k.idle);
                x.Attr("PendingRequestCurrentCount", k.pending);
                x.Raw("/>\n");
            }
        }
        else
        {
            std::snprintf(number, sizeof number, "%.1f", s.throughput);
            x.Raw("<ThreadPoolRuntime");
            x.Attr("serverName", s.name);
            x.Attr("ExecuteThreadIdleCount", s.threadsIdle);
            x.Attr("CompletedRequestCount", s.completed);
            x.Attr("ExecuteThreadTotalCount", s.threadsTotal);
            x.Attr("PendingUserRequestCount", s.queueLength);
            x.Attr("QueueLength", s.queueLength);
            x.Attr("StandbyThreadCount", s.threadsTotal / 4);
            x.Attr("Throughput", number);
            x.Raw("/>\n");
        }

        for (const Pool& p : s.pools)
        {
            x.Raw(v8Layout ? "<JDBCConnectionPoolRuntime"
                           : "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans");
            x.Attr("serverName", s.name);
            x.Attr("ActiveConnectionsCurrentCount", p.active);
            x.Attr("ActiveConnectionsHighCount", p.high);
            x.Attr("CurrCapacity", p.capacity);
            x.Attr("LeakedConnectionCount", p.leaked);
            x.Attr("Name", p.name);
            x.Attr("State", "Running");
            x.Raw("/>\n");
        }
    }
    x.Raw("</MONITOR>\n");
    return out;
}

std::string ThreadDumpAnswer(long long now, const std::string& request)
{
    std::string message;
    pugi::xml_document doc;
    if (!doc.load_buffer(request.data(), request.size()))
        message = "Thread dump request is not well-formed XML";
    else if (std::string(doc.document_element().name()) != "wlsagent")
        message = "Thread dump request has no wlsagent element";
    else
    {
        int servers = 0;
        for (pugi::xml_node server : doc.document_element().children("Server"))
        {
            message += servers++ ? ", " : "Thread dumps taken: ";
            message += server.attribute("name").value();
            message += " (";
            message += server.attribute("url").value();
            message += ") x";
            message += server.attribute("dumpCount").as_string("1");
        }
        if (servers == 0)
            message = "No server named for a thread dump";
    }
    std::string out;
    XmlOut x(out);
    x.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MONITOR");
    x.Attr("Date", FormatStamp(now));
    x.Raw(">\n<SYSTEM");
    x.Attr("errMsg", message);
    x.Raw("/>\n</MONITOR>\n");
    return out;
}

bool RequestAsksV8(const std::string& request, int version)
{
    pugi::xml_document doc;
    if (doc.load_buffer(request.data(), request.size()))
    {
        for (pugi::xml_node mbean : doc.document_element().children("MBean"))
        {
            const std::string name = mbean.attribute("name").value();
            if (name == "ExecuteQueueRuntime" || name == "JDBCConnectionPoolRuntime")
                return true;
            if (name == "ThreadPoolRuntime" || name == "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans")
                return false;
        }
    }
    return version == 8;
}
