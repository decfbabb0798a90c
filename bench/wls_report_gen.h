#pragma once

#include <cstdint>
#include <string>

// Builds a WebLogic 9/10 report of a domain of the given shape, as an agent
// sends it: every server with its ServerRuntime, JVMRuntime and
// ThreadPoolRuntime, and `pools` JDBC data sources each. Values change with
// `scan`. The domain is a working one with a few sore spots: about 1 server
// in 25 is short of heap and 1 in 20 of idle threads, and 1 pool in 40 is
// exhausted, against thresholds of 20 %, 10 % and 10 %.
struct WlsReportShape
{
    int servers = 200;
    int pools = 10;
    std::uint32_t seed = 1;
    int scan = 0;
};

inline std::string MakeWlsReport(const WlsReportShape& shape)
{
    std::uint64_t state = shape.seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(shape.scan);
    auto next = [&state](std::uint32_t range)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>((state >> 32) % range);
    };
    std::string out;
    out.reserve(static_cast<size_t>(shape.servers) * (700 + 260 * shape.pools));
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR Date=\"2026-03-01 10:00:";
    out += std::to_string(10 + shape.scan % 50) + "\">";
    out += "<INITBUF DomainVersion=\"10.3.6.0\" Activationtime=\"2026-02-27 08:00:00\" ServerNum=\"" +
           std::to_string(shape.servers) +
           "\" Name=\"proddomain\" AdminServerName=\"AdminServer\" JDKVendor=\"Oracle "
           "Corporation\" JDKVersion=\"1.6.0_45\" OSName=\"Linux\" OSVersion=\"5.10\" "
           "ProductionModeEnabled=\"true\" AgentVersion=\"3.3.0.9\"/>";
    for (int s = 0; s < shape.servers; ++s)
    {
        const std::string name = "ManagedServer_" + std::to_string(s);
        const std::string attr = " serverName=\"" + name + "\"";
        const std::uint32_t max = 1073741824u;
        const std::uint32_t percent = next(25) == 0 ? next(15) : 25 + next(70);
        const std::uint32_t free = max / 100 * percent + next(max / 100);
        out += "<ServerRuntime" + attr + " ListenAddress=\"10.20." + std::to_string(s / 250) + "." +
               std::to_string(s % 250) + "\" ListenPort=\"" + std::to_string(7001 + s) +
               "\" State=\"RUNNING\" HealthState=\"Component:ServerRuntime,State:" +
               (next(10) ? "HEALTH_OK" : "HEALTH_WARN") + ",MBean:" + name + ",ReasonCode:[]\"/>";
        out += "<JVMRuntime" + attr +
               " JavaVendor=\"Oracle Corporation\" JavaVersion=\"1.6.0_45\" HeapFreeCurrent=\"" +
               std::to_string(free) + "\" HeapSizeCurrent=\"" + std::to_string(max) +
               "\" HeapSizeMax=\"" + std::to_string(max) + "\" HeapFreePercent=\"" +
               std::to_string(percent) + "\"/>";
        const std::uint32_t total = 25 + next(40);
        const std::uint32_t idle = next(20) == 0 ? next(total / 10) : total / 2 + next(total / 2);
        out += "<ThreadPoolRuntime" + attr + " ExecuteThreadIdleCount=\"" +
               std::to_string(idle) + "\" ExecuteThreadTotalCount=\"" +
               std::to_string(total) + "\" Throughput=\"" + std::to_string(next(500)) +
               ".5\" QueueLength=\"" + std::to_string(next(5)) + "\"/>";
        for (int p = 0; p < shape.pools; ++p)
        {
            const std::uint32_t capacity = 10 + next(20);
            const std::uint32_t active = next(40) == 0 ? capacity : next(capacity / 2);
            out += "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans" + attr +
                   " ActiveConnectionsCurrentCount=\"" + std::to_string(active) +
                   "\" ActiveConnectionsHighCount=\"" + std::to_string(capacity) +
                   "\" CurrCapacity=\"" + std::to_string(capacity) +
                   "\" LeakedConnectionCount=\"0\" Name=\"jdbc/DataSource" + std::to_string(p) +
                   "\" State=\"Running\"/>";
        }
    }
    out += "<SYSTEM errMsg=\"\"/></MONITOR>";
    return out;
}
