// The endpoint scraped by a real Prometheus: corvane-monitor polls two
// stand-in agents serving fixed reports, Prometheus scrapes it every second,
// and what its query API answers is what the agents served.
#include "e2e/child_process.h"
#include "headless/http_get.h"
#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <wx/filefn.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace
{
// A port free a moment ago, for a program that cannot report the one it took.
unsigned short FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string UrlEncode(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text)
    {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-')
            out += static_cast<char>(c);
        else
        {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// The value of the query's one series, or empty while Prometheus has none.
std::string QueryValue(unsigned short port, const std::string& query)
{
    const std::string body =
        HttpGet("http://127.0.0.1:" + std::to_string(port) + "/api/v1/query?query=" + UrlEncode(query));
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (answer.is_discarded() || answer.value("status", "") != "success")
        return "";
    const auto& result = answer["data"]["result"];
    if (!result.is_array() || result.size() != 1)
        return "";
    return result[0]["value"][1].get<std::string>();
}

SiteRecord Site(const char* name, const char* type, unsigned short port)
{
    SiteRecord site;
    site.SiteName = name;
    site.SiteType = type;
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", port);
    site.DatabaseFile = wxString(name) + ".db";
    site.WlsVer = site.SiteType == "WEBLOGIC" ? "WebLogic V10" : "";
    return site;
}

TEST(Prometheus, QueriesWhatTheAgentsServed)
{
    TempHome home;
    wxMkdir(home.File("tux"));
    wxMkdir(home.File("wls"));
    WriteFileBytes(home.File("tux/1.xml"),
                   "<MONITOR Date=\"now\"><QUEUE Server=\"BILLSVR\" Queueid=\"65537\" SrvCnt=\"3\" Queued=\"17\"/>"
                   "<SERVER Server=\"BILLSVR\" Queueid=\"Q1\" ProcessID=\"101\" RqDone=\"40\" CurrSvc=\"IDLE\"/>"
                   "</MONITOR>");
    WriteFileBytes(home.File("wls/1.xml"),
                   "<MONITOR Date=\"now\"><ServerRuntime serverName=\"ms1\" State=\"RUNNING\"/>"
                   "<JVMRuntime serverName=\"ms1\" HeapFreePercent=\"41\"/></MONITOR>");
    SimAgent tux({"--script", home.File("tux").utf8_string(), "--script-loop"});
    SimAgent wls({"--weblogic", "--script", home.File("wls").utf8_string(), "--script-loop"});
    ASSERT_NE(tux.Port(), 0);
    ASSERT_NE(wls.Port(), 0);
    {
        PromptRecorder prompts; // the new Corvane.db is announced
        DbAccess config;
        ASSERT_EQ(config.Open(home.File("Corvane.db"), DbAccess::ConfigDb), 1);
        ASSERT_EQ(config.InsertSite(Site("tux", "TUXEDO", tux.Port())), 1);
        ASSERT_EQ(config.InsertSite(Site("wls", "WEBLOGIC", wls.Port())), 1);
    }
    ChildProcess monitor({BinDir() + "/corvane-monitor", "--home", home.Dir().utf8_string(), "--listen",
                          "127.0.0.1:0", "--interval", "15"},
                         true, 20000);
    const std::string target = monitor.FirstLine().substr(std::string("http://").size(),
                                                          monitor.FirstLine().rfind("/metrics") - 7);
    ASSERT_FALSE(target.empty()) << monitor.FirstLine();

    WriteFileBytes(home.File("prometheus.yml"), "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                                "scrape_configs:\n  - job_name: corvane\n    static_configs:\n"
                                                "      - targets: ['" + target + "']\n");
    const unsigned short port = FreePort();
    ChildProcess prometheus({"/usr/bin/prometheus", "--config.file=" + home.File("prometheus.yml").utf8_string(),
                             "--storage.tsdb.path=" + home.File("tsdb").utf8_string(),
                             "--web.listen-address=127.0.0.1:" + std::to_string(port)},
                            false, 0, home.File("prometheus.log").utf8_string());
    ASSERT_TRUE(prometheus.Started()) << "prometheus is not installed (scripts/deps.sh installs it)";

    std::string queued, heap;
    EXPECT_TRUE(WaitFor(
        [&]
        {
            queued = QueryValue(port, "corvane_tuxedo_queue_requests{site=\"tux\",server=\"BILLSVR\"}");
            heap = QueryValue(port, "corvane_weblogic_heap_free_percent{site=\"wls\",server=\"ms1\"}");
            return !queued.empty() && !heap.empty();
        },
        60000))
        << ReadFileBytes(home.File("prometheus.log"));
    EXPECT_EQ(queued, "17");
    EXPECT_EQ(heap, "41");
    EXPECT_EQ(QueryValue(port, "up{job=\"corvane\"}"), "1");
}
} // namespace
