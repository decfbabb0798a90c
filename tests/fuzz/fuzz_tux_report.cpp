// Tuxedo agent reports, as the scan thread hands them to the model. Besides
// crashes and sanitizer reports it checks what must hold for any input: the
// copying and the in-place reader agree, a refused report changes nothing,
// accepted arrays come out in key order, and a scan compared with an
// identical one finds no server died.
#include "fuzz_support.h"

#include "common/text.h"
#include "tuxedo/tux_monitor_model.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
TuxAlarmRule WatchingRule()
{
    // Names of the seed reports, so comparisons file alarms of every kind.
    TuxAlarmRule rule;
    rule.SvrDied = "ACCTSVR BILLSVR CUSTSVR";
    rule.LongBusy = "ACCTSVR BILLSVR";
    rule.NoTran = "ACCTSVR CUSTSVR";
    rule.Queued = "2";
    return rule;
}

// The order the reader promises: ascending signed 16-bit key of the field.
std::int16_t Key(const wxString& field)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(
        static_cast<unsigned int>(AtoiText(field))));
}

template <class List, class Field>
void CheckKeyOrder(const List& records, Field field)
{
    for (std::size_t i = 1; i < records.size(); ++i)
        FUZZ_CHECK(Key(records[i - 1].*field) <= Key(records[i].*field));
}

bool SameServer(const TuxServerRec& a, const TuxServerRec& b)
{
    return a.ProgName == b.ProgName && a.QueueName == b.QueueName &&
           a.ProcessID == b.ProcessID && a.Spare == b.Spare && a.RqDone == b.RqDone &&
           a.SvrMin == b.SvrMin && a.SvrMax == b.SvrMax && a.CurrSvc == b.CurrSvc &&
           a.UseMem == b.UseMem;
}

bool SameQueue(const TuxQueueRec& a, const TuxQueueRec& b)
{
    return a.ProgName == b.ProgName && a.Queueid == b.Queueid && a.SrvCnt == b.SrvCnt &&
           a.Queued == b.Queued;
}

bool SameClient(const TuxClientRec& a, const TuxClientRec& b)
{
    return a.Name == b.Name && a.ClientPID == b.ClientPID && a.ClientAddr == b.ClientAddr &&
           a.ConTime == b.ConTime && a.Status == b.Status;
}

template <class List, class Same>
bool SameList(const List& a, const List& b, Same same)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same(a[i], b[i]))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);

    // The two readers, one of them with the panel's display filters on: the
    // filters only decide the shown flag, never the records.
    TuxMonitorModel copying;
    copying.SetRule(WatchingRule());
    TuxMonitorModel inPlace;
    inPlace.SetRule(WatchingRule());
    TuxFilter filter;
    filter.serverKind = 1;
    filter.queueKind = 2;
    inPlace.SetFilter(filter);

    const int accepted = copying.ParseTuxReport(text, size);
    std::string reply(text, size);
    FUZZ_CHECK(inPlace.ParseTuxReportInPlace(reply) == accepted);
    if (accepted != 1)
    {
        FUZZ_CHECK(accepted == -1);
        FUZZ_CHECK(copying.Servers().empty() && copying.Queues().empty() &&
                   copying.Clients().empty() && copying.PreviousServers().empty());
        FUZZ_CHECK(copying.LastUpdate().empty());
        return 0;
    }

    FUZZ_CHECK(SameList(copying.Servers(), inPlace.Servers(), SameServer));
    FUZZ_CHECK(SameList(copying.Queues(), inPlace.Queues(), SameQueue));
    FUZZ_CHECK(SameList(copying.Clients(), inPlace.Clients(), SameClient));
    FUZZ_CHECK(copying.LastUpdate() == inPlace.LastUpdate());
    CheckKeyOrder(copying.Servers(), &TuxServerRec::RqDone);
    CheckKeyOrder(copying.Queues(), &TuxQueueRec::Queued);
    // The first report of a run only becomes the previous scan.
    FUZZ_CHECK(copying.DiedList().empty() && copying.BusyList().empty() &&
               copying.IdleList().empty());

    // The same report once more is the next scan: nothing died, and the
    // servers that did no work are marked either busy or idle, never both.
    FUZZ_CHECK(copying.ParseTuxReport(text, size) == 1);
    FUZZ_CHECK(copying.DiedList().empty());
    for (const TuxServerRec& server : copying.Servers())
        FUZZ_CHECK((server.Flags & (TuxBusyLong | TuxIdleLong)) != (TuxBusyLong | TuxIdleLong));
    const TuxAlarmReport alarms = copying.TakeAlarms();
    FUZZ_CHECK(alarms.lines.size() <= 2);
    FUZZ_CHECK(copying.BusyList().empty() && copying.IdleList().empty());
    copying.TakeCoreFind();
    copying.TakeReason();

    // A refused report after an accepted one leaves everything in place.
    const std::size_t servers = copying.Servers().size();
    FUZZ_CHECK(copying.ParseTuxReport("<MONITOR>", 9) == -1);
    FUZZ_CHECK(copying.Servers().size() == servers);
    return 0;
}
