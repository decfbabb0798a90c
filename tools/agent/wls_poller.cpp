// The REST resources read here are those of Oracle's "RESTful Domain Runtime
// Reference" and "RESTful Domain Configuration Reference" for WebLogic Server
// 12.2.1.4 and 14.1.1 (the tests' fake admin server cites the pages).
#include "wls_poller.h"

#include "sim_xml.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <thread>

namespace
{
using nlohmann::json;

const std::string Base = "/management/weblogic/latest";

// The console's attribute lists, for a request document without them.
const std::vector<std::string> DefaultServerAttrs = {
    "ActivationTime", "HealthState", "State", "Name", "OpenSocketsCurrentCount",
    "WeblogicVersion", "ListenAddress", "ListenPort"};
const std::vector<std::string> DefaultJvmAttrs = {
    "OSName", "OSVersion", "JavaVersion", "JavaVendor", "JavaVMVendor", "HeapFreeCurrent",
    "HeapSizeCurrent", "HeapSizeMax", "HeapFreePercent"};
const std::vector<std::string> DefaultThreadAttrs = {
    "ExecuteThreadIdleCount", "CompletedRequestCount", "ExecuteThreadTotalCount",
    "PendingUserRequestCount", "QueueLength", "StandbyThreadCount", "Throughput"};
const std::vector<std::string> DefaultJdbcAttrs = {
    "ActiveConnectionsCurrentCount", "ActiveConnectionsHighCount", "CurrCapacity",
    "LeakedConnectionCount", "Name", "State"};
const std::vector<std::string> DomainAttrs = {"Name", "DomainVersion", "AdminServerName",
                                              "ProductionModeEnabled", "RootDirectory"};
const std::vector<std::string> ConfigServerAttrs = {"Name", "ListenAddress", "ListenPort"};

std::string Fields(std::vector<std::string> attrs, const std::vector<std::string>& extra = {})
{
    attrs.insert(attrs.end(), extra.begin(), extra.end());
    std::string text = "?links=none&fields=";
    for (std::size_t i = 0; i < attrs.size(); ++i)
        text += (i ? "," : "") + RestField(attrs[i]);
    return text;
}

// The answer as a JSON object; false with the reason.
bool ReadObject(const RestResult& result, json& out, std::string& why)
{
    if (!result.Ok())
    {
        why = result.Describe();
        return false;
    }
    out = json::parse(result.body, nullptr, false);
    if (out.is_discarded())
    {
        why = "an answer that is not JSON";
        return false;
    }
    if (!out.is_object())
    {
        why = "a JSON answer that is not an object";
        return false;
    }
    return true;
}

// A collection's items (each an object with a string name); false with the reason.
bool ReadItems(const RestResult& result, std::vector<json>& items, std::string& why)
{
    json object;
    if (!ReadObject(result, object, why))
        return false;
    const auto found = object.find("items");
    if (found == object.end() || !found->is_array())
    {
        why = "an answer without an items array";
        return false;
    }
    for (const json& item : *found)
    {
        if (!item.is_object() || !item.contains("name") || !item["name"].is_string())
        {
            why = "an item without a name";
            return false;
        }
        items.push_back(item);
    }
    return true;
}

std::string Name(const json& item)
{
    return item["name"].get<std::string>();
}

std::string FileSafe(const std::string& name)
{
    std::string out;
    for (const char c : name)
        out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'
                   ? c
                   : '_';
    return out;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0640);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == text.size();
}

struct ServerDetails
{
    bool asked = false;
    json runtime;
    json jvm;
    std::string jvmWhy = "not queried";
    json threads;
    std::string threadsWhy = "not queried";
    std::vector<json> pools;
    std::string poolsWhy = "not queried";
};
} // namespace

WlsPoller::WlsPoller(const AgentOptions& options) : m_options(options) {}

bool WlsPoller::Configure(const DomainRequest& request, std::string& error)
{
    if (request.wls8)
    {
        error = "the site is set up as WebLogic V8; this agent reads WebLogic 12.2.1 and later "
                "through REST: set the site's version to WebLogic V10";
        return false;
    }
    RestTarget target;
    if (!m_options.adminUrl.empty())
        target.baseUrl = m_options.adminUrl;
    else
    {
        const std::string& host = request.adminAddress;
        const std::string& port = request.adminPort;
        if (host.empty() || port.empty() ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        {
            error = "the request names no admin address and port; start the agent with --admin";
            return false;
        }
        const bool v6 = host.find(':') != std::string::npos;
        target.baseUrl = std::string(m_options.insecureHttp ? "http" : "https") + "://" +
                         (v6 ? "[" + host + "]" : host) + ":" + port;
    }
    m_request = request;
    auto orDefault = [](std::vector<std::string>& attrs, const std::vector<std::string>& def)
    {
        if (attrs.empty())
            attrs = def;
    };
    orDefault(m_request.serverAttrs, DefaultServerAttrs);
    orDefault(m_request.jvmAttrs, DefaultJvmAttrs);
    orDefault(m_request.threadAttrs, DefaultThreadAttrs);
    orDefault(m_request.jdbcAttrs, DefaultJdbcAttrs);
    target.user = request.principal;
    target.password = request.password;
    target.caFile = m_options.caFile;
    target.timeoutMs = m_options.timeoutMs;
    target.maxAnswerBytes = m_options.maxAnswerBytes;
    target.maxConnections = m_options.maxConnections;
    m_rest.SetTarget(target);
    return true;
}

std::string WlsPoller::RuntimePath(const std::string& server) const
{
    return Base + "/domainRuntime/serverRuntimes/" + RestClient::Escape(server);
}

DomainSnapshot WlsPoller::Poll()
{
    DomainSnapshot snap;
    json domain;
    std::vector<json> configured;
    bool configOk = false;
    std::vector<json> running;
    std::string runningWhy;
    std::map<std::string, ServerDetails> details;

    m_rest.Get(Base + "/domainConfig" + Fields(DomainAttrs),
               [&](const std::string&, RestResult& r)
               {
                   std::string why;
                   if (!ReadObject(r, domain, why))
                       snap.Problem("domainConfig", why);
               });
    m_rest.Get(Base + "/domainConfig/servers" + Fields(ConfigServerAttrs),
               [&](const std::string&, RestResult& r)
               {
                   std::string why;
                   configOk = ReadItems(r, configured, why);
                   if (!configOk)
                       snap.Problem("domainConfig/servers", why);
               });
    // Each running server's own queries start as soon as the list arrives.
    m_rest.Get(
        Base + "/domainRuntime/serverRuntimes" + Fields(m_request.serverAttrs),
        [&](const std::string&, RestResult& r)
        {
            if (!ReadItems(r, running, runningWhy))
                return;
            for (const json& item : running)
            {
                const std::string name = Name(item);
                ServerDetails& d = details[name];
                if (d.asked)
                    continue;
                d.asked = true;
                const std::string path = RuntimePath(name);
                m_rest.Get(path + "/JVMRuntime" + Fields(m_request.jvmAttrs),
                           [&d](const std::string&, RestResult& r)
                           {
                               if (ReadObject(r, d.jvm, d.jvmWhy))
                                   d.jvmWhy.clear();
                           });
                m_rest.Get(path + "/threadPoolRuntime" + Fields(m_request.threadAttrs),
                           [&d](const std::string&, RestResult& r)
                           {
                               if (ReadObject(r, d.threads, d.threadsWhy))
                                   d.threadsWhy.clear();
                           });
                m_rest.Get(path + "/JDBCServiceRuntime/JDBCDataSourceRuntimeMBeans" +
                               Fields(m_request.jdbcAttrs),
                           [&d](const std::string&, RestResult& r)
                           {
                               if (ReadItems(r, d.pools, d.poolsWhy))
                                   d.poolsWhy.clear();
                           });
            }
        });
    m_rest.Run(RestClient::Clock::now() + std::chrono::milliseconds(m_options.budgetMs));

    if (!runningWhy.empty())
        snap.problems.insert(snap.problems.begin(), {"serverRuntimes", runningWhy});

    // INITBUF: the domain's configuration, the admin server's start and JVM.
    ReportElement& init = snap.initbuf;
    if (!domain.is_null())
    {
        const std::string problem = MapFields(domain, DomainAttrs, init);
        if (!problem.empty())
            snap.Problem("domainConfig", problem);
    }
    const std::string adminName = domain.is_object() && domain.contains("adminServerName") &&
                                          domain["adminServerName"].is_string()
                                      ? domain["adminServerName"].get<std::string>()
                                      : std::string();
    const auto admin = details.find(adminName);
    if (admin != details.end())
    {
        for (const json& item : running)
            if (Name(item) == adminName && item.contains("activationTime") &&
                item["activationTime"].is_number())
                init.Add("Activationtime",
                         FormatStamp(static_cast<long long>(item["activationTime"].get<double>() / 1000)));
        if (admin->second.jvmWhy.empty())
        {
            ReportElement jvm;
            MapFields(admin->second.jvm, {"JavaVendor", "JavaVersion", "OSName", "OSVersion"}, jvm);
            for (const auto& [attr, value] : jvm.attrs)
                init.Add(attr == "JavaVendor" ? "JDKVendor" : attr == "JavaVersion" ? "JDKVersion" : attr,
                         value);
        }
    }
    if (runningWhy.empty() || configOk)
        init.Add("ServerNum", std::to_string(configOk ? configured.size() : running.size()));
    init.Add("AgentVersion", "corvane-agent " CORVANE_AGENT_VERSION);

    // Servers in the configuration's order; running ones it does not list
    // (dynamic cluster members) after them.
    std::vector<std::string> order;
    std::map<std::string, const json*> configByName;
    for (const json& item : configured)
    {
        order.push_back(Name(item));
        configByName[Name(item)] = &item;
    }
    std::map<std::string, const json*> runningByName;
    for (const json& item : running)
    {
        if (!configByName.count(Name(item)) && !runningByName.count(Name(item)))
            order.push_back(Name(item));
        runningByName[Name(item)] = &item;
    }
    for (const std::string& name : order)
    {
        ReportElement server{"ServerRuntime", {}};
        server.Add("serverName", name);
        const auto up = runningByName.find(name);
        if (up == runningByName.end())
        {
            // Not running: the configuration says where it would listen, and
            // the console sees it is down.
            if (!runningWhy.empty())
                continue; // we do not know what runs
            MapFields(*configByName[name], {"Name", "ListenAddress", "ListenPort"}, server);
            server.Add("State", "SHUTDOWN");
            snap.elements.push_back(server);
            continue;
        }
        const std::string problem = MapFields(*up->second, m_request.serverAttrs, server);
        if (!problem.empty())
            snap.Problem(name + " ServerRuntime", problem);
        snap.elements.push_back(server);

        const ServerDetails& d = details[name];
        ReportElement jvm{"JVMRuntime", {{"serverName", name}}};
        if (d.jvmWhy.empty())
        {
            const std::string p = MapFields(d.jvm, m_request.jvmAttrs, jvm);
            if (!p.empty())
                snap.Problem(name + " JVMRuntime", p);
        }
        else
        {
            jvm.Add("JavaVendor", "no answer: " + d.jvmWhy);
            snap.Problem(name + " JVMRuntime", d.jvmWhy);
        }
        snap.elements.push_back(jvm);

        ReportElement threads{"ThreadPoolRuntime", {{"serverName", name}}};
        if (d.threadsWhy.empty())
        {
            const std::string p = MapFields(d.threads, m_request.threadAttrs, threads);
            if (!p.empty())
                snap.Problem(name + " threadPoolRuntime", p);
        }
        else
            snap.Problem(name + " threadPoolRuntime", d.threadsWhy);
        snap.elements.push_back(threads);

        const char* const jdbcName = "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans";
        if (!d.poolsWhy.empty())
        {
            snap.Problem(name + " JDBCDataSourceRuntimeMBeans", d.poolsWhy);
            snap.elements.push_back({jdbcName,
                                     {{"serverName", name},
                                      {"Name", "(data sources)"},
                                      {"State", "no answer: " + d.poolsWhy}}});
        }
        for (const json& pool : d.pools)
        {
            ReportElement jdbc{jdbcName, {{"serverName", name}}};
            const std::string p = MapFields(pool, m_request.jdbcAttrs, jdbc);
            if (!p.empty())
                snap.Problem(name + " data source " + Name(pool), p);
            snap.elements.push_back(jdbc);
        }
    }
    return snap;
}

std::string WlsPoller::TakeThreadDumps(const std::vector<DumpTarget>& targets)
{
    if (targets.empty())
        return "No server named for a thread dump";
    const auto deadline =
        RestClient::Clock::now() + std::chrono::milliseconds(m_options.budgetMs);
    std::vector<int> taken(targets.size(), 0);
    std::vector<std::string> why(targets.size());
    int rounds = 0;
    for (const DumpTarget& t : targets)
        rounds = std::max(rounds, t.count);

    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);

    for (int round = 1; round <= rounds; ++round)
    {
        if (round > 1)
        {
            const auto left = deadline - RestClient::Clock::now();
            const auto gap = std::chrono::milliseconds(m_options.dumpGapMs);
            if (left <= gap + std::chrono::milliseconds(m_options.timeoutMs / 4))
                break; // the console is waiting: what was taken is reported
            std::this_thread::sleep_for(gap);
        }
        for (std::size_t i = 0; i < targets.size(); ++i)
        {
            if (targets[i].count < round || !why[i].empty())
                continue;
            m_rest.Get(RuntimePath(targets[i].name) + "/JVMRuntime?links=none&fields=threadStackDump",
                       [&, i, round](const std::string&, RestResult& r)
                       {
                           json object;
                           if (!ReadObject(r, object, why[i]))
                               return;
                           const auto dump = object.find("threadStackDump");
                           if (dump == object.end() || !dump->is_string())
                           {
                               why[i] = "no threadStackDump in the answer";
                               return;
                           }
                           const std::string file = m_options.dumpDir + "/" +
                                                    FileSafe(targets[i].name) + "-" + stamp + "-" +
                                                    std::to_string(round) + ".txt";
                           if (!WriteFile(file, dump->get<std::string>()))
                               why[i] = "cannot write " + file;
                           else
                               ++taken[i];
                       });
        }
        m_rest.Run(deadline);
    }

    std::string done;
    std::string failed;
    for (std::size_t i = 0; i < targets.size(); ++i)
    {
        if (taken[i] > 0)
            done += (done.empty() ? "" : ", ") + targets[i].name + " x" + std::to_string(taken[i]);
        if (!why[i].empty())
            failed += "; no dump of " + targets[i].name + ": " + why[i];
    }
    std::string text = done.empty() ? "No thread dump taken" : "Thread dumps taken: " + done + " in " + m_options.dumpDir;
    return text + failed;
}
