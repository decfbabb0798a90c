#include "tux_domain.h"

#include "sim_xml.h"

#include <algorithm>

namespace
{
const char* const Stems[] = {"ACCTSVR", "BILLSVR", "CUSTSVR", "PAYSVR", "QRYSVR", "RPTSVR",
                             "ORDSVR",  "STKSVR",  "LOGSVR",  "MSGSVR", "AUTHSVR", "RATESVR"};
constexpr int StemCount = sizeof Stems / sizeof Stems[0];

const char* const Services[] = {"INQUIRY", "UPDATE",  "TRANSFER", "BALANCE",
                                "PAYMENT", "REPORT",  "LOGIN",    "QUERY",
                                "DEPOSIT", "WITHDRAW", "NOTIFY",  "AUDIT"};
constexpr int ServiceCount = sizeof Services / sizeof Services[0];

// Per mille, per poll, for the whole domain: rare enough to read, frequent
// enough that every alarm shows within minutes of a demo.
constexpr int DeathChance = 120;
constexpr int StuckChance = 200;
constexpr int BurstChance = 200;
constexpr int CoreChance = 40;

std::string Padded(int value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width - static_cast<int>(digits.size())), '0');
    return digits;
}
} // namespace

std::string TuxDomain::ProgramName(int queue)
{
    // The first dozen read like real programs; larger domains number them.
    std::string name = Stems[queue % StemCount];
    if (queue >= StemCount)
        name += "_" + Padded(queue / StemCount, 3);
    return name;
}

TuxDomain::TuxDomain(const Config& config, long long bootTime)
    : m_config(config), m_random(config.seed), m_bootStamp(FormatStamp(bootTime))
{
    const int queues = std::max(1, config.queues);
    for (int q = 0; q < queues; ++q)
    {
        Queue queue;
        queue.program = ProgramName(q);
        queue.name = queue.program.substr(0, queue.program.find("SVR")) + "Q" +
                     (q >= StemCount ? Padded(q, 3) : std::string());
        queue.ipcId = 32769 + q * 3;
        m_queues.push_back(queue);
    }
    for (int i = 0; i < config.servers; ++i)
    {
        Server s;
        s.queue = i % queues;
        s.pid = m_nextPid + static_cast<int>(m_random.Below(50));
        m_nextPid = s.pid + 1;
        const int roll = static_cast<int>(m_random.Below(10));
        s.heat = roll < 3 ? 0 : (roll < 7 ? 1 : 2);
        s.rqDone = s.heat == 2 ? m_random.Range(1000, 5000)
                               : (s.heat == 1 ? m_random.Range(100, 900) : m_random.Range(0, 50));
        s.memoryKb = static_cast<int>(m_random.Range(8000, 64000));
        m_servers.push_back(s);
    }
    for (Queue& queue : m_queues)
        queue.svrMin = 1;
    std::vector<int> perQueue(m_queues.size(), 0);
    for (const Server& s : m_servers)
        ++perQueue[static_cast<size_t>(s.queue)];
    for (size_t q = 0; q < m_queues.size(); ++q)
        m_queues[q].svrMax = std::max(1, perQueue[q] + 2);
    for (int c = 0; c < config.clients; ++c)
        AddClient(bootTime + m_random.Range(60, 3600));
}

void TuxDomain::AddClient(long long connectedAt)
{
    Client c;
    const int n = m_nextClient++;
    c.name = (n % 3 == 0 ? "WSC_" : (n % 3 == 1 ? "JOLT_" : "tpclient_")) + Padded(n, 5);
    c.address = "//10." + std::to_string(20 + (n / 65536) % 200) + "." +
                std::to_string((n / 256) % 256) + "." + std::to_string(n % 256) + ":" +
                std::to_string(m_random.Range(30000, 60999));
    c.pid = static_cast<int>(m_random.Range(1000, 99999));
    c.connected = FormatStamp(connectedAt);
    c.busy = m_random.Chance(300);
    m_clients.push_back(std::move(c));
}

void TuxDomain::Step(long long now)
{
    // Domain-wide events first, each on one server picked at random.
    if (!m_servers.empty() && m_random.Chance(DeathChance))
    {
        Server& s = m_servers[m_random.Below(m_servers.size())];
        if (s.downPolls == 0)
            s.downPolls = static_cast<int>(m_random.Range(2, 4));
    }
    if (!m_servers.empty() && m_random.Chance(StuckChance))
    {
        Server& s = m_servers[m_random.Below(m_servers.size())];
        if (s.downPolls == 0 && s.stuckPolls == 0)
        {
            s.stuckPolls = static_cast<int>(m_random.Range(2, 4));
            s.service = static_cast<int>(m_random.Below(ServiceCount));
        }
    }
    m_coreFind.clear();
    if (m_random.Chance(CoreChance) && !m_servers.empty())
        m_coreFind = "core file found: /u01/app/tuxedo/appdir/core." +
                     std::to_string(m_servers[m_random.Below(m_servers.size())].pid);

    for (Server& s : m_servers)
    {
        if (s.downPolls > 0)
        {
            if (--s.downPolls == 0)
            {
                // Restarted by the BBL: a new process with a fresh count.
                s.pid = m_nextPid;
                m_nextPid += 1 + static_cast<int>(m_random.Below(7));
                s.rqDone = 0;
                s.service = -1;
                s.stuckPolls = 0;
            }
            continue;
        }
        if (s.stuckPolls > 0)
        {
            --s.stuckPolls; // busy in the same service, nothing done
            continue;
        }
        static const int busyChance[] = {40, 350, 750};
        if (m_random.Chance(busyChance[s.heat]))
        {
            s.service = static_cast<int>(m_random.Below(ServiceCount));
            s.rqDone += static_cast<std::uint64_t>(s.heat == 2 ? m_random.Range(5, 60)
                                                               : m_random.Range(1, 10));
        }
        else
        {
            s.service = -1;
            // Idle at the sample; warm and hot servers did some work since.
            if (s.heat > 0 && m_random.Chance(500))
                s.rqDone += static_cast<std::uint64_t>(m_random.Range(1, 5));
        }
        s.memoryKb = std::max(4000, s.memoryKb + static_cast<int>(m_random.Range(-500, 600)));
    }

    for (Queue& q : m_queues)
    {
        q.queued = std::max(0, q.queued + static_cast<int>(m_random.Range(-4, 3)));
    }
    if (!m_queues.empty() && m_random.Chance(BurstChance))
        m_queues[m_random.Below(m_queues.size())].queued += static_cast<int>(m_random.Range(6, 30));

    // Clients leave and others connect, around the configured number.
    m_clients.erase(std::remove_if(m_clients.begin(), m_clients.end(),
                                   [this](const Client&) { return m_random.Chance(20); }),
                    m_clients.end());
    const long long target =
        m_config.clients + m_random.Range(-m_config.clients / 20, m_config.clients / 20);
    while (static_cast<long long>(m_clients.size()) < target)
        AddClient(now);
    for (Client& c : m_clients)
        if (m_random.Chance(250))
            c.busy = !c.busy;

    m_freeMemKb = std::max(100000, m_freeMemKb + static_cast<int>(m_random.Range(-50000, 50000)));
    m_idleCpu = static_cast<int>(std::clamp<long long>(m_idleCpu + m_random.Range(-8, 8), 0, 99));
}

int TuxDomain::AliveServers() const
{
    return static_cast<int>(std::count_if(m_servers.begin(), m_servers.end(),
                                          [](const Server& s) { return s.downPolls == 0; }));
}

std::string TuxDomain::Report(long long now, const std::string& errorReason) const
{
    std::string out;
    out.reserve(256 + m_queues.size() * 100 + m_servers.size() * 170 + m_clients.size() * 130);
    XmlOut x(out);
    x.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MONITOR");
    x.Attr("Date", FormatStamp(now));
    x.Raw(">\n<INITBUF");
    x.Attr("TuxVersion", "Tuxedo 11.1.1.2.0");
    x.Attr("TuxBootAt", m_bootStamp);
    x.Attr("OSVersion", "Linux 6.1.0 x86_64");
    x.Attr("AgentVersion", "corvane-agent-sim 1.0");
    x.Raw("/>\n<SYSTEM");
    x.Attr("CoreFind", m_coreFind);
    x.Attr("ErrorFind", "");
    x.Attr("WarnFind", "");
    x.Attr("LargeFile", "");
    x.Attr("FreeMem", m_freeMemKb);
    x.Attr("IdleCPU", m_idleCpu);
    x.Attr("SvrCnt", AliveServers());
    x.Attr("QueCnt", static_cast<int>(m_queues.size()));
    x.Attr("CltCnt", static_cast<int>(m_clients.size()));
    x.Raw("/>\n");

    std::vector<int> serving(m_queues.size(), 0);
    for (const Server& s : m_servers)
        if (s.downPolls == 0)
            ++serving[static_cast<size_t>(s.queue)];
    for (size_t q = 0; q < m_queues.size(); ++q)
    {
        const Queue& queue = m_queues[q];
        x.Raw("<QUEUE");
        x.Attr("Server", queue.program);
        x.Attr("Queueid", queue.ipcId);
        x.Attr("SrvCnt", serving[q]);
        x.Attr("Queued", queue.queued);
        x.Raw("/>\n");
    }
    for (const Server& s : m_servers)
    {
        if (s.downPolls > 0)
            continue; // a dead server is not in the bulletin board
        const Queue& queue = m_queues[static_cast<size_t>(s.queue)];
        x.Raw("<SERVER");
        x.Attr("Server", queue.program);
        x.Attr("Queueid", queue.name);
        x.Attr("ProcessID", s.pid);
        x.Attr("RqDone", s.rqDone);
        x.Attr("CurrSvc", s.service < 0 ? "IDLE" : Services[s.service]);
        x.Attr("SvrMin", queue.svrMin);
        x.Attr("SvrMax", queue.svrMax);
        x.Attr("UseMem", s.memoryKb);
        x.Raw("/>\n");
    }
    for (const Client& c : m_clients)
    {
        x.Raw("<CLIENT");
        x.Attr("Name", c.name);
        x.Attr("ClientPID", c.pid);
        x.Attr("ClientAddr", c.address);
        x.Attr("Status", c.busy ? "BUSY" : "IDLE");
        x.Attr("ConTime", c.connected);
        x.Raw("/>\n");
    }
    if (!errorReason.empty())
    {
        x.Raw("<ERROR");
        x.Attr("Reason", errorReason);
        x.Raw("/>\n");
    }
    x.Raw("</MONITOR>\n");
    return out;
}
