// Tuxedo agent reports, as the scan thread hands them to the model: a crash
// and sanitizer driver for both readers, the display filters, the
// comparison with the previous scan and the alarm text. An input holding
// two reports one after the other is refused whole, then read as two scans,
// so the comparison meets servers that come, go and move.
#include "fuzz_support.h"

#include "tuxedo/tux_monitor_model.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    TuxAlarmRule rule; // names of the seed reports, so every alarm kind is filed
    rule.SvrDied = "ACCTSVR BILLSVR CUSTSVR";
    rule.LongBusy = "ACCTSVR BILLSVR";
    rule.NoTran = "ACCTSVR CUSTSVR";
    rule.Queued = "2";
    TuxFilter filter;
    filter.serverKind = 1;
    filter.queueKind = 2;
    TuxMonitorModel model;
    model.SetRule(rule);
    model.SetFilter(filter);

    model.ParseTuxReport(text, size);
    const char end[] = "</MONITOR>";
    const void* found = memmem(text, size, end, sizeof end - 1);
    const std::size_t first =
        found ? static_cast<const char*>(found) - text + sizeof end - 1 : size;
    std::string second(text + first, size - first);
    model.ParseTuxReport(text, first);
    model.ParseTuxReportInPlace(second);
    model.TakeAlarms();
    std::string again(text, first);
    model.ParseTuxReportInPlace(again);
    model.TakeAlarms();
    model.TakeCoreFind();
    model.TakeReason();
    return 0;
}
