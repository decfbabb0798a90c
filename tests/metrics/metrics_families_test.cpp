// The metric families of canned reports: which series a report makes, their
// values and labels, what a site that is down keeps, and the listen address.
#include "metrics/metrics_endpoint.h"
#include "metrics/metrics_families.h"

#include <gtest/gtest.h>

namespace
{
std::shared_ptr<SiteReport> Report(SiteKind kind)
{
    auto report = std::make_shared<SiteReport>();
    report->kind = kind;
    report->time = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    return report;
}

SiteSample TuxSample()
{
    auto data = std::make_shared<TuxReportData>();
    // Two processes of BILLSVR (one busy), one of AUDIT with no request count.
    data->servers = {{"BILLSVR", "Q1", "101", "", "40", "1", "5", "BILL", "", 0},
                     {"BILLSVR", "Q1", "102", "", "2", "1", "5", "IDLE", "", 0x01},
                     {"AUDIT", "Q2", "103", "", "N/A", "1", "1", "IDLE", "", 0}};
    data->queues = {{"BILLSVR", "65537", "2", "", "7", "", "", 0}, {"AUDIT", "65538", "1", "", "0", "", "", 0}};
    data->clients = {{"c1", "1", "a", "", "BUSY"}, {"c2", "2", "b", "", "IDLE"}, {"c3", "3", "c", "", "IDLE"}};
    data->system.FreeMem = "2048";
    data->system.IdleCPU = "87.5";
    auto report = Report(SiteKind::Tuxedo);
    report->tuxedo = data;
    SiteSample sample;
    sample.site = "tux \"east\"";
    sample.up = true;
    sample.scans = 3;
    sample.failures = {{"empty", 1}};
    sample.lastScanSeconds = 0.25;
    sample.report = report;
    return sample;
}

SiteSample WlsSample()
{
    auto data = std::make_shared<WlsReportData>();
    data->servers = {{"ms1", "10.0.0.7", "7003", "RUNNING", "HEALTH_OK", "", "", 0}};
    data->jvms = {{"ms1", "Oracle", "1.6", "1000", "2000", "4000", "37%", 0}};
    data->threads = {{"ms1", "25", "3", "4", "12.5", 0}};
    data->jdbc = {{"ms1", "2", "9", "10", "", "", "1", "ds1", "Running", 0}};
    auto report = Report(SiteKind::WebLogic);
    report->webLogic = data;
    SiteSample sample;
    sample.site = "wls";
    sample.up = true;
    sample.scans = 1;
    sample.report = report;
    sample.activeAlarms = {{"JVM heap too low", 0}, {"free JDBC too low", 2}};
    return sample;
}

struct SeriesCase
{
    const char* line; // one line of the exposition, as it must appear
};

const SeriesCase kSeries[] = {
    {"corvane_up{site=\"tux \\\"east\\\"\"} 1"},
    {"corvane_scans_total{site=\"tux \\\"east\\\"\"} 3"},
    {"corvane_scan_failures_total{reason=\"empty\",site=\"tux \\\"east\\\"\"} 1"},
    {"corvane_scan_duration_seconds{site=\"tux \\\"east\\\"\"} 0.25"},
    {"corvane_report_timestamp_seconds{site=\"wls\"} 1700000000"},
    {"corvane_alarms_active{kind=\"free JDBC too low\",site=\"wls\"} 2"},
    {"corvane_alarms_active{kind=\"JVM heap too low\",site=\"wls\"} 0"},
    // processes of one program summed; a count that is no number left out
    {"corvane_tuxedo_server_requests_total{server=\"BILLSVR\",site=\"tux \\\"east\\\"\"} 42"},
    {"corvane_tuxedo_server_processes{server=\"BILLSVR\",site=\"tux \\\"east\\\"\",state=\"busy\"} 1"},
    {"corvane_tuxedo_server_processes{server=\"BILLSVR\",site=\"tux \\\"east\\\"\",state=\"idle\"} 1"},
    {"corvane_tuxedo_server_processes{server=\"AUDIT\",site=\"tux \\\"east\\\"\",state=\"idle\"} 1"},
    {"corvane_tuxedo_queue_requests{server=\"BILLSVR\",site=\"tux \\\"east\\\"\"} 7"},
    {"corvane_tuxedo_queue_servers{server=\"AUDIT\",site=\"tux \\\"east\\\"\"} 1"},
    {"corvane_tuxedo_clients{site=\"tux \\\"east\\\"\",status=\"IDLE\"} 2"},
    {"corvane_tuxedo_host_cpu_idle_percent{site=\"tux \\\"east\\\"\"} 87.5"},
    {"corvane_tuxedo_host_memory_free_bytes{site=\"tux \\\"east\\\"\"} 2097152"},
    {"corvane_weblogic_server_state{server=\"ms1\",site=\"wls\",state=\"RUNNING\"} 1"},
    {"corvane_weblogic_server_health{health=\"HEALTH_OK\",server=\"ms1\",site=\"wls\"} 1"},
    {"corvane_weblogic_heap_free_percent{server=\"ms1\",site=\"wls\"} 37"},
    {"corvane_weblogic_heap_max_bytes{server=\"ms1\",site=\"wls\"} 4000"},
    {"corvane_weblogic_threads_idle{server=\"ms1\",site=\"wls\"} 3"},
    {"corvane_weblogic_throughput{server=\"ms1\",site=\"wls\"} 12.5"},
    {"corvane_weblogic_thread_queue_length{server=\"ms1\",site=\"wls\"} 4"},
    {"corvane_weblogic_jdbc_active_connections_high{pool=\"ds1\",server=\"ms1\",site=\"wls\"} 9"},
    {"corvane_weblogic_jdbc_leaked_connections{pool=\"ds1\",server=\"ms1\",site=\"wls\"} 1"},
};

class SeriesTest : public ::testing::TestWithParam<SeriesCase>
{
};

TEST_P(SeriesTest, AppearsInTheExposition)
{
    const std::string text = RenderMetrics({TuxSample(), WlsSample()});
    EXPECT_NE(text.find(std::string("\n") + GetParam().line + "\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(CannedReports, SeriesTest, ::testing::ValuesIn(kSeries));

TEST(MetricFamilies, NoRequestCountNoRequestSeries)
{
    const std::string text = RenderMetrics({TuxSample()});
    EXPECT_EQ(text.find("corvane_tuxedo_server_requests_total{server=\"AUDIT\""), std::string::npos);
}

TEST(MetricFamilies, SiteDownKeepsOnlyItsScanFigures)
{
    SiteSample down = TuxSample();
    down.up = false; // its last report is still held by the monitor
    down.failures["connect"] = 2;
    std::vector<std::string> names;
    for (const auto& family : BuildMetricFamilies({down}))
        names.push_back(family.name);
    EXPECT_EQ(names, (std::vector<std::string>{"corvane_up", "corvane_scans_total", "corvane_scan_failures_total",
                                               "corvane_scan_duration_seconds"}));
    EXPECT_NE(RenderMetrics({down}).find("corvane_up{site=\"tux \\\"east\\\"\"} 0\n"), std::string::npos);
}

struct ListenCase
{
    const char* text;
    bool ok;
    const char* host;
    unsigned short port;
};

TEST(ListenAddress, ParsesOrRefuses)
{
    const ListenCase cases[] = {
        {"9464", true, "127.0.0.1", 9464},     {"0.0.0.0:9100", true, "0.0.0.0", 9100},
        {"[::1]:9464", false, "", 0},          {"localhost:9464", false, "", 0},
        {"127.0.0.1:65536", false, "", 0},     {"127.0.0.1:", false, "", 0},
        {"127.0.0.1:94x", false, "", 0},       {"::1:9464", false, "", 0},
        {"", false, "", 0},
    };
    for (const ListenCase& c : cases)
    {
        ListenAddress address;
        std::string error;
        ASSERT_EQ(ParseListenAddress(c.text, address, error), c.ok) << c.text;
        if (c.ok)
        {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
        }
        else
            EXPECT_FALSE(error.empty()) << c.text;
    }
}
} // namespace
