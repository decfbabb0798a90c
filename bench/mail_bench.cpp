// Alarm mail through SendAlarmMail to an SMTP sink on loopback, each mail
// counted once the sink has accepted it and the client and message are
// released:
//   alarm_mail_ms             one mail at a time, per mail (median of 50)
//   alarm_mail_burst_ms       100 mails started at once, wall time per mail (the
//                             second such burst)
//   alarm_mail_pending_kib    heap held by those 100 mails while in their dialogue
//   alarm_mail_released_kib   of that, what was given back once all were delivered
//   alarm_mail_left_kib       heap still held after all were released
//   alarm_mail_tls_ms         one mail over STARTTLS with a login (AUTH PLAIN)
//                             to aiosmtpd on loopback, per mail (median of 20)
#include "bench.h"

#include "alarm/alarm_actions.h"
#include "smtp_sink.h"
#include "support/smtp_peer.h"

#include <string>
#include <vector>

namespace
{
const char kAlarmText[] = "[ TUXSVR_001] [ TUXSVR_017] [ TUXSVR_233]  Died!!!";
constexpr int kBurst = 100;

ActionSettings SinkSettings(unsigned short port)
{
    ActionSettings settings;
    settings.SMTPSvr = wxString::Format("127.0.0.1:%u", port);
    settings.SMTPUsr = "operator";
    settings.SMTPPwd = "secret";
    settings.MailTo = "ops@example.com";
    return settings;
}

// Until the sink holds `count` mails and every client has been released.
bool WaitDelivered(const SmtpSink& sink, size_t count)
{
    return PumpUntil([&] { return sink.Accepted() >= count && PendingAlarmMailCount() == 0; },
                     20000);
}
} // namespace

CORVANE_BENCH_SECTION(alarm_mail, true)
{
    SmtpSink sink;
    if (sink.Port() == 0)
    {
        BenchFailed("alarm_mail_ms", "ms", "the SMTP sink could not listen");
        return;
    }
    const ActionSettings settings = SinkSettings(sink.Port());
    size_t sent = 0;

    // The first mail sets up what every later one shares (the socket layer's
    // loop sources, the shared states).
    SendAlarmMail(settings, kAlarmText);
    if (!WaitDelivered(sink, ++sent))
    {
        BenchFailed("alarm_mail_ms", "ms", "the first mail was not delivered within 20 s");
        return;
    }

    std::vector<double> times;
    for (int i = 0; i < 50; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        SendAlarmMail(settings, kAlarmText);
        if (!WaitDelivered(sink, ++sent))
        {
            BenchFailed("alarm_mail_ms", "ms", "a mail was not delivered within 20 s");
            return;
        }
        times.push_back(MsSince(start));
    }
    PrintFigure("alarm_mail_ms", Median(times), "ms");

    // A first burst grows what all clients share once (the socket layer's
    // tables for 100 descriptors at a time); the measured burst follows it.
    for (int i = 0; i < kBurst; ++i)
        SendAlarmMail(settings, kAlarmText);
    sent += kBurst;
    if (!WaitDelivered(sink, sent))
    {
        BenchFailed("alarm_mail_burst_ms", "ms", "the first burst was not delivered within 20 s");
        DropPendingAlarmMails();
        return;
    }

    const double before = HeapInUseKiB();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBurst; ++i)
        SendAlarmMail(settings, kAlarmText);
    const double pending = HeapInUseKiB();
    sent += kBurst;
    if (PendingAlarmMailCount() != static_cast<size_t>(kBurst) || !WaitDelivered(sink, sent))
    {
        BenchFailed("alarm_mail_burst_ms", "ms", "the burst was not delivered within 20 s");
        DropPendingAlarmMails();
        return;
    }
    const double burstMs = MsSince(start);
    const double after = HeapInUseKiB();
    PrintFigure("alarm_mail_burst_ms", burstMs / kBurst, "ms");
    PrintFigure("alarm_mail_pending_kib", pending - before, "KiB");
    PrintFigure("alarm_mail_released_kib", pending - after, "KiB");
    PrintFigure("alarm_mail_left_kib", after - before, "KiB");
}

CORVANE_BENCH_SECTION(alarm_mail_tls, true)
{
    AiosmtpdPeer peer("", true, true);
    if (!peer.WaitReady())
    {
        BenchFailed("alarm_mail_tls_ms", "ms", "openssl or aiosmtpd did not start");
        return;
    }
    ActionSettings settings;
    settings.SMTPSvr = wxString::Format("localhost:%u", peer.Port("starttls"));
    settings.SMTPUsr = AiosmtpdPeer::kUser;
    settings.SMTPPwd = AiosmtpdPeer::kPassword;
    settings.MailTo = "ops@example.com";
    settings.Mail.CAFile = peer.CaFile();

    auto deliver = [&]
    {
        const int before = peer.Delivered();
        SendAlarmMail(settings, kAlarmText);
        return PumpUntil(
            [&] { return peer.Delivered() > before && PendingAlarmMailCount() == 0; }, 20000);
    };
    // The first mail loads the system's CA store and the server's first TLS
    // context; every later one shares them.
    if (!deliver())
    {
        BenchFailed("alarm_mail_tls_ms", "ms", "the first mail was not delivered within 20 s");
        DropPendingAlarmMails();
        return;
    }
    std::vector<double> times;
    for (int i = 0; i < 20; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!deliver())
        {
            BenchFailed("alarm_mail_tls_ms", "ms", "a mail was not delivered within 20 s");
            DropPendingAlarmMails();
            return;
        }
        times.push_back(MsSince(start));
    }
    PrintFigure("alarm_mail_tls_ms", Median(times), "ms");
}
