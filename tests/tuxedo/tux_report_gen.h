#pragma once

#include <cstdio>
#include <cstdint>
#include <string>

// Builds Tuxedo reports of a given size in the shape the agent serves, for
// tests and the benchmark. The same seed and scan number give the same text;
// a later scan moves request counts on so that the order changes a little.
struct TuxReportShape
{
    int servers = 20;
    int queues = 5;
    int clients = 50;
    unsigned seed = 1;
    int scan = 0;
    bool withError = false;
    int firstPid = 10000; // server i runs as process firstPid + i
};

inline std::string MakeTuxReport(const TuxReportShape& shape)
{
    std::uint32_t state = shape.seed * 2654435761u + 1;
    auto next = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    std::string out;
    out.reserve(static_cast<size_t>(shape.servers) * 190 + shape.queues * 90 +
                shape.clients * 140 + 1024);
    char line[512];
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::snprintf(line, sizeof line, "<MONITOR Date=\"2026-03-01 10:%02d:%02d\">\n",
                  shape.scan / 60 % 60, shape.scan % 60);
    out += line;
    out += "<INITBUF TuxVersion=\"Tuxedo 12.2.2.0.0\" OSVersion=\"Linux 5.15 x86_64\" "
           "TuxBootAt=\"2026-02-27 06:00:00\" AgentVersion=\"3.3.0.9\"/>\n";
    std::snprintf(line, sizeof line,
                  "<SYSTEM CoreFind=\"\" ErrorFind=\"0\" WarnFind=\"0\" LargeFile=\"\" "
                  "FreeMem=\"%u\" IdleCPU=\"%u\" SvrCnt=\"%d\" QueCnt=\"%d\" CltCnt=\"%d\"/>\n",
                  1048576 + next() % 1048576, next() % 100, shape.servers, shape.queues,
                  shape.clients);
    out += line;
    if (shape.withError)
        out += "<ERROR Reason=\"tmadmin failed: TPESYSTEM\"/>\n";
    for (int i = 0; i < shape.queues; ++i)
    {
        std::snprintf(line, sizeof line,
                      "<QUEUE Server=\"SVRPROG%03d\" Queueid=\"%u\" SrvCnt=\"%u\" Queued=\"%u\"/>\n",
                      i, 32768 + next() % 100000, 1 + next() % 8,
                      (next() % 4 == 0) ? next() % 20 : 0);
        out += line;
    }
    for (int i = 0; i < shape.servers; ++i)
    {
        const unsigned rq = (next() % 30000) + static_cast<unsigned>(shape.scan) * (i % 3);
        const bool idle = next() % 3 != 0;
        std::snprintf(line, sizeof line,
                      "<SERVER Server=\"SVRPROG%03d\" Queueid=\"Q%05d\" ProcessID=\"%d\" "
                      "RqDone=\"%u\" CurrSvc=\"%s\" SvrMin=\"1\" SvrMax=\"%u\" UseMem=\"%uK\"/>\n",
                      i % (shape.queues > 0 ? shape.queues : 1), i, shape.firstPid + i, rq,
                      idle ? "IDLE" : "SVC_QUERY", 1 + next() % 10, 2048 + next() % 65536);
        out += line;
    }
    for (int i = 0; i < shape.clients; ++i)
    {
        std::snprintf(line, sizeof line,
                      "<CLIENT Name=\"client%05d\" ClientPID=\"%u\" ClientAddr=\"//10.1.%u.%u:%u\" "
                      "Status=\"%s\" ConTime=\"%u\"/>\n",
                      i, 20000 + next() % 40000, next() % 256, next() % 256, 1024 + next() % 60000,
                      next() % 5 ? "IDLE" : "BUSY", next() % 86400);
        out += line;
    }
    out += "</MONITOR>\n";
    return out;
}
