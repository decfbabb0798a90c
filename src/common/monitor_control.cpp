#include "common/monitor_control.h"

#include "agent/agent_link.h"
#include "common/heap_tuning.h"
#include "common/log_area.h"
#include "common/prompt.h"
#include "common/text.h"

#include <wx/button.h>
#include <wx/socket.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <climits>

namespace
{
// The site's port text as the link takes it: its leading digits, 0 when it
// is not a number or does not fit a port.
unsigned short PortOf(const wxString& text)
{
    const int value = AtoiText(text);
    return (value < 0 || value > 65535) ? 0 : static_cast<unsigned short>(value);
}

// The interval field in milliseconds, without overflowing on long digit runs.
int IntervalMsOf(const wxString& text)
{
    const long long ms = static_cast<long long>(AtoiText(text)) * 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}
} // namespace

MonitorControl::MonitorControl(wxWindow* panel, AgentLink& link, wxTimer& timer,
                               const Controls& controls)
    : m_panel(panel), m_link(link), m_timer(timer), m_controls(controls)
{
    KeepFreedMemory();
}

MonitorControl::~MonitorControl()
{
    Shutdown();
}

int MonitorControl::Start(const SiteRecord& site)
{
    // A scan cut short by an earlier Stop may still be finishing.
    m_scans.Wait();
    const unsigned short port = PortOf(site.SitePort);
    if (m_link.Connect(site.SiteIP, port) != 1)
    {
        ShowMessage(wxString::Format("Connect to Host[%s: %d] Failed!", site.SiteIP, port),
                    "Message", wxOK | wxCENTRE, m_panel);
        return -1;
    }
    if (m_link.Handshake() != 1)
    {
        ShowMessage("HandShake to Host Failed!", "Message", wxOK | wxCENTRE, m_panel);
        return -1;
    }
    const int intervalMs = IntervalMsOf(m_controls.interval->GetValue());
    if (intervalMs < 15000)
    {
        // The link stays connected: the operator only has to fix the field.
        ShowMessage("Interval can not set below 15!", "Message", wxOK | wxCENTRE, m_panel);
        return -1;
    }
    m_intervalMs = intervalMs;
    m_timer.Start(intervalMs, wxTIMER_CONTINUOUS);
    m_running = true;
    m_cancelled = false;
    m_controls.startStop->SetLabel("Stop");
    m_controls.interval->Enable(false);
    return 1;
}

void MonitorControl::Stop()
{
    m_timer.Stop();
    if (m_scans.IsRunning())
        m_link.Abort(); // Close would otherwise wait for the exchange
    m_link.Close();
    ShowIdle();
}

bool MonitorControl::ConfirmStop(const wxString& question)
{
    return ShowMessage(question, "Confirm", wxYES_NO | wxICON_QUESTION, m_panel) == wxYES;
}

bool MonitorControl::OnSocketEvent(wxSocketEvent& event, bool closeLink)
{
    if (m_link.FilterEvent(event) != wxSOCKET_LOST)
        return false;
    AppendWarn(m_controls.log, "Connection to agent is broken!", false);
    m_timer.Stop();
    if (closeLink)
        m_link.Close();
    ShowIdle();
    return true;
}

bool MonitorControl::RunScan(std::unique_ptr<wxThread> scan)
{
    if (!m_running || m_cancelled)
        return false;
    return m_scans.Run(std::move(scan));
}

void MonitorControl::Deliver(std::function<void()> onGui)
{
    std::shared_ptr<bool> alive = m_alive;
    m_panel->CallAfter(
        [alive, onGui = std::move(onGui)]
        {
            if (*alive)
                onGui();
        });
}

void MonitorControl::Warn(const wxString& text)
{
    if (!text.empty())
        AppendWarn(m_controls.log, text);
}

void MonitorControl::Shutdown()
{
    if (!*m_alive)
        return;
    *m_alive = false;
    m_cancelled = true;
    m_link.SetEventTarget(nullptr, 0); // nothing more is queued to the panel
    m_timer.Stop();
    if (m_scans.IsRunning())
        m_link.Abort();
    m_scans.Wait();
    if (m_running)
        m_link.Close();
    m_running = false;
}

void MonitorControl::ShowIdle()
{
    m_running = false;
    m_controls.startStop->SetLabel("Start");
    m_controls.interval->Enable(true);
}
