// wxSMTP in a program without a GUI (corvane-monitor): wxBase's own event
// loop delivers the socket notifications.
#include "smtp/smtp_client.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

#include <chrono>
#include <functional>
#include <mutex>

// Regression: a server that greets at once, with the loop busy elsewhere
// while the connection completes, left the monitor spinning at full processor
// on a greeting it could not read, and the alarm mail never left.
TEST(SmtpConsoleLoop, GreetingThatCameWithTheConnectionIsRead)
{
    std::mutex mutex;
    std::string command;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("220 loopback ESMTP\r\n");
            const std::string line = peer.ReadUntil("\r\n");
            std::lock_guard<std::mutex> lock(mutex);
            command = line;
        });
    wxConsoleEventLoop loop;
    wxEventLoopActivator active(&loop);
    wxAppConsole* app = wxAppConsole::GetInstance();
    ASSERT_NE(app, nullptr);

    MailMessage message("Subject", "Body", "from@here");
    message.AddTo("ops@site");
    wxSMTPListener listener;
    wxSMTP client(&listener);
    client.SetHost("127.0.0.1", server.Port());
    client.Send(&message);

    // Waits for done, running the loop's socket notifications only when
    // dispatch is set.
    auto waitFor = [&](const std::function<bool()>& done, bool dispatch)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < until)
        {
            if (dispatch)
                loop.DispatchTimeout(10);
            else
                wxMilliSleep(1);
            app->ProcessPendingEvents();
        }
        return done();
    };
    // The connect is under way (after the name look-up's hand-over, which
    // needs no socket notification), and the server has taken it.
    ASSERT_TRUE(waitFor([&] { return client.IsOk() && server.Accepted() == 1; }, false));
    // The loop looks away while the greeting arrives: completion and
    // greeting are both there at its next wake-up.
    wxMilliSleep(200);
    waitFor(
        [&]
        {
            std::lock_guard<std::mutex> lock(mutex);
            return !command.empty();
        },
        true);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(command.rfind("EHLO ", 0), 0u) << command;
}
