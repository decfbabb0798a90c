// corvane-monitor: the sites of a Corvane home watched without a window, with
// an optional Prometheus endpoint. See MonitorUsage().
#include "alarm/alarm_mail.h"
#include "common/prompt.h"
#include "headless/monitor_options.h"
#include "headless/monitor_service.h"
#include "metrics/metrics_endpoint.h"

#include <wx/app.h>
#include <wx/log.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

namespace
{
std::mutex g_stderrMutex;

void WriteLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_stderrMutex);
    std::cerr << line << '\n' << std::flush;
}

sigset_t HandledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

class MonitorApp : public wxAppConsole
{
public:
    MonitorApp(const MonitorOptions& options, const ListenAddress* listen)
        : m_options(options), m_hasListen(listen != nullptr), m_service(options, WriteLine)
    {
        if (listen)
            m_listen = *listen;
    }

    bool OnInit() override
    {
        // Messages meant for a box (a site database made anew, a store
        // failure) become lines of the log.
        SetMessageHandler(
            [](const MessageRequest& request)
            {
                WriteLine("message: " + request.text.utf8_string());
                return wxOK;
            });
        if (m_hasListen)
        {
            std::string error;
            m_endpoint = MetricsEndpoint::Open(
                m_listen, [this] { return m_service.Samples(); }, error);
            if (!m_endpoint)
                return Fail(error);
            std::printf("%s\n", m_endpoint->Url().c_str());
            std::fflush(stdout);
        }
        std::string error;
        if (!m_service.Start(error))
            return Fail(error);
        m_signals = std::thread([this] { WaitForSignals(); });
        return true;
    }

    int OnRun() override
    {
        if (m_failed)
            return 2;
        wxAppConsole::OnRun();
        return 0;
    }

    int OnExit() override
    {
        m_exiting = true;
        if (m_signals.joinable())
        {
            pthread_kill(m_signals.native_handle(), SIGTERM); // no-op when it has already heard one
            m_signals.join();
        }
        m_service.StopAll();
        m_endpoint.reset();
        DropPendingAlarmMails();
        return 0;
    }

private:
    bool Fail(const std::string& error)
    {
        WriteLine("corvane-monitor: " + error);
        m_failed = true; // OnRun ends at once with status 2
        return true;
    }

    void WaitForSignals()
    {
        const sigset_t set = HandledSignals();
        for (;;)
        {
            int signal = 0;
            if (sigwait(&set, &signal) != 0 || m_exiting)
                return;
            if (signal == SIGHUP)
            {
                CallAfter([this] { m_service.Reload(); });
                continue;
            }
            CallAfter(
                [this]
                {
                    m_service.StopAll();
                    ExitMainLoop();
                });
            return;
        }
    }

    MonitorOptions m_options;
    bool m_hasListen = false;
    ListenAddress m_listen;
    MonitorService m_service;
    std::unique_ptr<MetricsEndpoint> m_endpoint;
    std::thread m_signals;
    std::atomic<bool> m_exiting{false};
    bool m_failed = false;
};
} // namespace

int main(int argc, char** argv)
{
    MonitorOptions options;
    std::string error;
    if (!ParseMonitorOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        std::cerr << "corvane-monitor: " << error << " (see --help)\n";
        return 2;
    }
    if (options.help)
    {
        std::cout << MonitorUsage();
        return 0;
    }
    ListenAddress listen;
    if (!options.listen.empty() && !ParseListenAddress(options.listen, listen, error))
    {
        std::cerr << "corvane-monitor: --listen: " << error << "\n";
        return 2;
    }
    // Every thread started from here on leaves these signals to the one that waits for them.
    const sigset_t set = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    wxAppConsole::SetInstance(new MonitorApp(options, options.listen.empty() ? nullptr : &listen));
    return wxEntry(argc, argv);
}
