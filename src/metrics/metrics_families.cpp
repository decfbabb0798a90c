#include "metrics/metrics_families.h"

#include <prometheus/text_serializer.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

namespace
{
using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;
using Labels = std::vector<std::pair<std::string, std::string>>;

// A number as the agent sends it, a trailing "%" allowed; false for "N/A",
// an empty field or anything else.
bool NumberOf(const wxString& text, double& value)
{
    std::string s = text.utf8_string();
    while (!s.empty() && (s.back() == ' ' || s.back() == '%'))
        s.pop_back();
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

std::string Utf8(const wxString& text)
{
    return text.utf8_string();
}

// The families in the order first named, each with its samples.
class Families
{
public:
    void Add(const char* name, MetricType type, const char* help, const Labels& labels, double value)
    {
        MetricFamily& family = Family(name, type, help);
        ClientMetric metric;
        for (const auto& label : labels)
            metric.label.push_back({label.first, label.second});
        std::sort(metric.label.begin(), metric.label.end()); // one order for every series
        if (type == MetricType::Counter)
            metric.counter.value = value;
        else
            metric.gauge.value = value;
        family.metric.push_back(std::move(metric));
    }
    // Adds the sample only when text is a number (times scale).
    void AddText(const char* name, const char* help, const Labels& labels, const wxString& text,
                 double scale = 1)
    {
        double value = 0;
        if (NumberOf(text, value))
            Add(name, MetricType::Gauge, help, labels, value * scale);
    }
    std::vector<MetricFamily> Take() { return std::move(m_families); }

private:
    MetricFamily& Family(const char* name, MetricType type, const char* help)
    {
        const auto found = m_index.find(name);
        if (found != m_index.end())
            return m_families[found->second];
        m_index.emplace(name, m_families.size());
        m_families.push_back(MetricFamily{name, help, type, {}});
        return m_families.back();
    }
    std::map<std::string, size_t> m_index;
    std::vector<MetricFamily> m_families;
};

void AddTuxedo(Families& out, const std::string& site, const TuxReportData& data)
{
    // Processes of one program share its name: their figures are summed.
    struct Program
    {
        double requests = 0;
        bool anyRequests = false;
        double busy = 0;
        double idle = 0;
    };
    std::map<wxString, Program> programs;
    for (const TuxServerRec& server : data.servers)
    {
        Program& program = programs[server.ProgName];
        double done = 0;
        if (NumberOf(server.RqDone, done))
        {
            program.requests += done;
            program.anyRequests = true;
        }
        (server.CurrSvc == "IDLE" ? program.idle : program.busy) += 1;
    }
    for (const auto& [name, program] : programs)
    {
        const Labels labels{{"site", site}, {"server", Utf8(name)}};
        if (program.anyRequests)
            out.Add("corvane_tuxedo_server_requests_total", MetricType::Counter,
                    "Requests done by the processes of a Tuxedo server program.", labels, program.requests);
        for (const auto& [state, count] : {std::make_pair("busy", program.busy), std::make_pair("idle", program.idle)})
            out.Add("corvane_tuxedo_server_processes", MetricType::Gauge,
                    "Processes of a Tuxedo server program by current service state.",
                    {{"site", site}, {"server", Utf8(name)}, {"state", state}}, count);
    }

    struct Queue
    {
        double queued = 0;
        double servers = 0;
        bool anyQueued = false;
        bool anyServers = false;
    };
    std::map<wxString, Queue> queues;
    for (const TuxQueueRec& rec : data.queues)
    {
        Queue& queue = queues[rec.ProgName];
        double value = 0;
        if (NumberOf(rec.Queued, value))
        {
            queue.queued += value;
            queue.anyQueued = true;
        }
        if (NumberOf(rec.SrvCnt, value))
        {
            queue.servers += value;
            queue.anyServers = true;
        }
    }
    for (const auto& [name, queue] : queues)
    {
        const Labels labels{{"site", site}, {"server", Utf8(name)}};
        if (queue.anyQueued)
            out.Add("corvane_tuxedo_queue_requests", MetricType::Gauge,
                    "Requests waiting on the queue of a Tuxedo server program.", labels, queue.queued);
        if (queue.anyServers)
            out.Add("corvane_tuxedo_queue_servers", MetricType::Gauge,
                    "Server processes reading the queue of a Tuxedo server program.", labels, queue.servers);
    }

    std::map<wxString, double> byStatus;
    for (const TuxClientRec& client : data.clients)
        byStatus[client.Status] += 1;
    for (const auto& [status, count] : byStatus)
        out.Add("corvane_tuxedo_clients", MetricType::Gauge, "Tuxedo clients by status.",
                {{"site", site}, {"status", Utf8(status)}}, count);

    out.AddText("corvane_tuxedo_host_cpu_idle_percent", "Idle CPU of the Tuxedo host, in percent.",
                {{"site", site}}, data.system.IdleCPU);
    out.AddText("corvane_tuxedo_host_memory_free_bytes", "Free memory of the Tuxedo host.", {{"site", site}},
                data.system.FreeMem, 1024); // the agent counts KiB
}

void AddWebLogic(Families& out, const std::string& site, const WlsReportData& data)
{
    for (const WlsServerRec& server : data.servers)
    {
        const std::string name = Utf8(server.ServerName);
        out.Add("corvane_weblogic_server_state", MetricType::Gauge,
                "State of a WebLogic server: 1 for the state it is in.",
                {{"site", site}, {"server", name}, {"state", Utf8(server.State)}}, 1);
        out.Add("corvane_weblogic_server_health", MetricType::Gauge,
                "Health of a WebLogic server: 1 for the health it reports.",
                {{"site", site}, {"server", name}, {"health", Utf8(server.Health)}}, 1);
    }
    for (const WlsJvmRec& jvm : data.jvms)
    {
        const Labels labels{{"site", site}, {"server", Utf8(jvm.ServerName)}};
        out.AddText("corvane_weblogic_heap_free_percent", "Free JVM heap of a WebLogic server, in percent.",
                    labels, jvm.FreePercent);
        out.AddText("corvane_weblogic_heap_free_bytes", "Free JVM heap of a WebLogic server.", labels,
                    jvm.FreeHeap);
        out.AddText("corvane_weblogic_heap_size_bytes", "Current JVM heap size of a WebLogic server.", labels,
                    jvm.CurrentHeap);
        out.AddText("corvane_weblogic_heap_max_bytes", "Largest JVM heap size of a WebLogic server.", labels,
                    jvm.HeapSizeMax);
    }
    for (const WlsThreadRec& threads : data.threads)
    {
        const Labels labels{{"site", site}, {"server", Utf8(threads.ServerName)}};
        out.AddText("corvane_weblogic_threads_idle", "Idle execute threads of a WebLogic server.", labels,
                    threads.IdleCount);
        out.AddText("corvane_weblogic_threads", "Execute threads of a WebLogic server.", labels,
                    threads.TotalCount);
        out.AddText("corvane_weblogic_thread_queue_length", "Requests waiting for a thread of a WebLogic server.",
                    labels, threads.QueueLength);
        out.AddText("corvane_weblogic_throughput", "Requests completed per second by a WebLogic server.", labels,
                    threads.Throughput);
    }
    for (const WlsJdbcRec& pool : data.jdbc)
    {
        const Labels labels{{"site", site}, {"server", Utf8(pool.ServerName)}, {"pool", Utf8(pool.JDBCName)}};
        out.AddText("corvane_weblogic_jdbc_active_connections", "Connections in use of a JDBC pool.", labels,
                    pool.ActiveCurrent);
        out.AddText("corvane_weblogic_jdbc_active_connections_high",
                    "Most connections in use at once of a JDBC pool.", labels, pool.ActiveHigh);
        out.AddText("corvane_weblogic_jdbc_capacity", "Current capacity of a JDBC pool.", labels,
                    pool.CurrCapacity);
        out.AddText("corvane_weblogic_jdbc_leaked_connections", "Connections leaked from a JDBC pool.", labels,
                    pool.LeakCount);
    }
}
} // namespace

std::vector<MetricFamily> BuildMetricFamilies(const std::vector<SiteSample>& samples)
{
    Families out;
    for (const SiteSample& sample : samples)
    {
        const Labels site{{"site", sample.site}};
        out.Add("corvane_up", MetricType::Gauge, "1 when the last scan of the site showed a report.", site,
                sample.up ? 1 : 0);
        out.Add("corvane_scans_total", MetricType::Counter, "Exchanges with the site's agent.", site,
                static_cast<double>(sample.scans));
        for (const auto& [reason, count] : sample.failures)
            out.Add("corvane_scan_failures_total", MetricType::Counter,
                    "Exchanges with the site's agent that showed no report, by reason.",
                    {{"site", sample.site}, {"reason", reason}}, static_cast<double>(count));
        // Alarms stay active while a site is down: shown either way.
        for (const auto& [kind, count] : sample.activeAlarms)
            out.Add("corvane_alarms_active", MetricType::Gauge, "Active alarms of the site, by kind.",
                    {{"site", sample.site}, {"kind", kind}}, count);
        if (sample.scans > 0)
            out.Add("corvane_scan_duration_seconds", MetricType::Gauge, "Duration of the site's last scan.", site,
                    sample.lastScanSeconds);
        if (!sample.up || !sample.report)
            continue;
        out.Add("corvane_report_timestamp_seconds", MetricType::Gauge,
                "When the site's last accepted report was read.", site,
                std::chrono::duration<double>(sample.report->time.time_since_epoch()).count());
        if (sample.report->tuxedo)
            AddTuxedo(out, sample.site, *sample.report->tuxedo);
        if (sample.report->webLogic)
            AddWebLogic(out, sample.site, *sample.report->webLogic);
    }
    return out.Take();
}

std::string RenderMetrics(const std::vector<SiteSample>& samples)
{
    return prometheus::TextSerializer().Serialize(BuildMetricFamilies(samples));
}
