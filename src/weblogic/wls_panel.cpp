#include "weblogic/wls_panel.h"

#include "common/ids.h"
#include "common/monitor_panel_layout.h"
#include "common/window_fit.h"
#include "common/virtual_report_list.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace
{
// The labels carry their blanks as operators know them.
const char* const SummaryLabels[WlsPanel::SummaryRows] = {
    "Wls Version:", "System Boot:", "Last Update:", "Server Nums:", "Domain Name:",
    "AdminServer:", "Admin   JDK:", "Admin    OS:", "Productions:", "Agent  Ver:"};

VirtualReportList* AddList(wxWindow* parent, wxSizer* column, const wxString& title,
                           wxWindowID id, std::initializer_list<const char*> headers,
                           wxStaticText*& label)
{
    label = new wxStaticText(parent, wxID_ANY, title);
    column->Add(label, 0, wxLEFT | wxRIGHT | wxTOP, 5);
    VirtualReportList* list = new VirtualReportList(parent, id);
    int c = 0;
    for (const char* header : headers)
        list->InsertColumn(c++, header);
    list->AutoSizeColumns();
    column->Add(list, 1, wxEXPAND | wxALL, 5);
    return list;
}
} // namespace

WlsPanel::WlsPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                   long style)
    : wxPanel(parent, id, pos, size, style)
{
    SetMonitorPanelColours(this);
    wxBoxSizer* top = new wxBoxSizer(wxHORIZONTAL);
    const MonitorLeftColumn left = BuildMonitorLeftColumn(this);
    m_summaryList = left.summaryList;
    m_alarmSet = left.alarmSet;
    m_recordToDb = left.recordToDb;
    m_startStop = left.startStop;
    m_intervalLabel = left.intervalLabel;
    m_interval = left.interval;
    m_logArea = left.logArea;
    m_clearLog = left.clearLog;
    FillSummaryLabels(m_summaryList, SummaryLabels, SummaryRows);
    top->Add(left.sizer, 0, wxEXPAND, 0);

    wxBoxSizer* right = new wxBoxSizer(wxVERTICAL);
    m_serverList = AddList(this, right, "Servers:", CorvaneId::ServerList,
                           {"Server Name", "URL", "Port", "Health", "State"}, m_serversLabel);
    m_jvmList = AddList(this, right, "JVM List:", CorvaneId::QueueList,
                        {"Server Name", "JVM Vendor", "JVM Version", "Free Heap", "Current Heap",
                         "HeapSizeMax", "FreePercent"},
                        m_jvmLabel);
    m_threadList = AddList(this, right, "Thread List:", CorvaneId::ClientList,
                           {"Server Name", "Total Count", "Idle Count", "Throughput", "QueueLength"},
                           m_threadLabel);
    // The thread and JDBC lists share their id, as stored layouts expect.
    m_jdbcList = AddList(this, right, "JDBC Pool List:", CorvaneId::ClientList,
                         {"Server Name", "JDBC Name", "Active Current", "Active High",
                          "CurrCapacity", "Leak Count", "State"},
                         m_jdbcLabel);
    top->Add(right, 1, wxEXPAND, 0);

    SetSizer(top);
    GrowToFit(this);

    Bind(wxEVT_INIT_DIALOG, &WlsPanel::OnInitPanel, this);
    m_alarmSet->Bind(wxEVT_BUTTON, &WlsPanel::OnAlarmSet, this);
    m_startStop->Bind(wxEVT_BUTTON, &WlsPanel::OnStartStop, this);
    m_clearLog->Bind(wxEVT_BUTTON, &WlsPanel::OnClearLog, this);
}

WlsPanel::~WlsPanel() = default;

void WlsPanel::OnInitPanel(wxInitDialogEvent& event)
{
    event.Skip();
}

void WlsPanel::OnAlarmSet(wxCommandEvent& event)
{
    event.Skip();
}

void WlsPanel::OnStartStop(wxCommandEvent& event)
{
    event.Skip();
}

void WlsPanel::OnClearLog(wxCommandEvent& event)
{
    event.Skip();
}
