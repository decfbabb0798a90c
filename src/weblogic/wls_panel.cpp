#include "weblogic/wls_panel.h"

#include "common/ids.h"
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
    const wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_INACTIVECAPTIONTEXT);
    SetBackgroundColour(background);
    // Labels take the panel's text colour: keep them readable on whatever
    // shade the desktop gives that system colour.
    SetForegroundColour(background.GetLuminance() < 0.5 ? *wxWHITE : *wxBLACK);

    wxBoxSizer* top = new wxBoxSizer(wxHORIZONTAL);
    wxBoxSizer* left = new wxBoxSizer(wxVERTICAL);

    m_summaryList = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 200),
                                   wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_HEADER);
    m_summaryList->InsertColumn(0, "Statu");
    m_summaryList->InsertColumn(1, "Values");
    for (int row = 0; row < SummaryRows; ++row)
        m_summaryList->InsertItem(row, SummaryLabels[row]);
    m_summaryList->SetItemTextColour(0, *wxRED);
    m_summaryList->SetItemTextColour(1, *wxRED);
    m_summaryList->SetColumnWidth(0, wxLIST_AUTOSIZE);
    m_summaryList->SetColumnWidth(1, wxLIST_AUTOSIZE_USEHEADER);
    // Tall enough for all ten rows.
    wxRect rowRect;
    if (m_summaryList->GetItemRect(0, rowRect))
        m_summaryList->SetMinSize(wxSize(-1, rowRect.height * SummaryRows + rowRect.y + 4));
    left->Add(m_summaryList, 0, wxEXPAND | wxALL, 5);

    m_alarmSet = new wxButton(this, CorvaneId::AlarmSet, "Alarm Set");
    left->Add(m_alarmSet, 0, wxEXPAND | wxALL, 5);

    m_recordToDb = new wxCheckBox(this, wxID_ANY, "Record to Database!");
    left->Add(m_recordToDb, 0, wxALL, 5);

    wxBoxSizer* startRow = new wxBoxSizer(wxHORIZONTAL);
    m_startStop = new wxButton(this, CorvaneId::StartStop, "Start");
    m_startStop->SetDefault();
    m_startStop->SetFont(m_startStop->GetFont().Bold());
    m_startStop->SetForegroundColour(*wxRED);
    startRow->Add(m_startStop, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_intervalLabel = new wxStaticText(this, wxID_ANY, "Interval(S):");
    startRow->Add(m_intervalLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_interval = new wxTextCtrl(this, CorvaneId::Interval, "30");
    m_interval->SetMaxLength(6);
    m_interval->SetMinSize(wxSize(50, -1));
    startRow->Add(m_interval, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    left->Add(startRow, 0, wxEXPAND, 0);

    wxStaticBoxSizer* logs = new wxStaticBoxSizer(wxVERTICAL, this, "Logs");
    m_logArea = new wxTextCtrl(logs->GetStaticBox(), CorvaneId::LogArea, wxEmptyString,
                               wxDefaultPosition, wxDefaultSize,
                               wxTE_MULTILINE | wxTE_WORDWRAP | wxNO_BORDER);
    m_logArea->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION));
    logs->Add(m_logArea, 1, wxEXPAND | wxALL, 5);
    m_clearLog = new wxButton(logs->GetStaticBox(), wxID_ANY, "Clear");
    logs->Add(m_clearLog, 0, wxALIGN_RIGHT | wxALL, 5);
    left->Add(logs, 1, wxEXPAND | wxALL, 5);

    top->Add(left, 0, wxEXPAND, 0);

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
    Layout();

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
