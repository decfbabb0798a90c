#include "tuxedo/tux_panel.h"

#include "common/ids.h"
#include "common/monitor_panel_layout.h"
#include "common/window_fit.h"
#include "common/virtual_report_list.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace
{
// One filter row over a list: label, kind choice, "Only Show(';')", the filter
// field (disabled until the box is ticked) and "Apply".
struct FilterRow
{
    wxStaticText* label;
    wxChoice* kind;
    wxCheckBox* onlyShow;
    wxTextCtrl* filter;
    wxButton* apply;
};

FilterRow MakeFilterRow(wxWindow* parent, wxSizer* column, const wxString& title,
                        const wxString (&kinds)[3], wxWindowID filterId, wxWindowID applyId)
{
    FilterRow row;
    wxBoxSizer* line = new wxBoxSizer(wxHORIZONTAL);
    row.label = new wxStaticText(parent, wxID_ANY, title);
    line->Add(row.label, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row.kind = new wxChoice(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, 3, kinds);
    row.kind->SetSelection(0);
    line->Add(row.kind, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row.onlyShow = new wxCheckBox(parent, wxID_ANY, "Only Show(';')");
    line->Add(row.onlyShow, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row.filter = new wxTextCtrl(parent, filterId, wxEmptyString);
    row.filter->Enable(false);
    line->Add(row.filter, 1, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row.apply = new wxButton(parent, applyId, "Apply");
    line->Add(row.apply, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    column->Add(line, 0, wxEXPAND, 0);
    return row;
}
} // namespace

TuxPanel::TuxPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
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
    top->Add(left.sizer, 0, wxEXPAND, 0);

    wxBoxSizer* right = new wxBoxSizer(wxVERTICAL);
    static const wxString serverKinds[3] = {"All Servers", "Idle Servers", "Busy Servers"};
    const FilterRow servers = MakeFilterRow(this, right, "Servers:", serverKinds,
                                            CorvaneId::ServerFilter, CorvaneId::ServerApply);
    m_serversLabel = servers.label;
    m_serverKind = servers.kind;
    m_serverOnlyShow = servers.onlyShow;
    m_serverFilter = servers.filter;
    m_serverApply = servers.apply;
    m_serverList = new VirtualReportList(this, CorvaneId::ServerList);
    right->Add(m_serverList, 1, wxEXPAND | wxALL, 5);

    static const wxString queueKinds[3] = {"All Queues", "Idle Queues", "Busy Queues"};
    const FilterRow queues = MakeFilterRow(this, right, "Queues:", queueKinds,
                                           CorvaneId::QueueFilter, CorvaneId::QueueApply);
    m_queuesLabel = queues.label;
    m_queueKind = queues.kind;
    m_queueOnlyShow = queues.onlyShow;
    m_queueFilter = queues.filter;
    m_queueApply = queues.apply;
    m_queueList = new VirtualReportList(this, CorvaneId::QueueList);
    right->Add(m_queueList, 1, wxEXPAND | wxALL, 5);

    wxBoxSizer* clientRow = new wxBoxSizer(wxHORIZONTAL);
    m_clientsLabel = new wxStaticText(this, wxID_ANY, "Clients:");
    clientRow->Add(m_clientsLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    clientRow->AddStretchSpacer();
    m_customView = new wxButton(this, wxID_ANY, "Custome View");
    m_customView->Hide();
    clientRow->Add(m_customView, 0, wxALL, 5);
    right->Add(clientRow, 0, wxEXPAND, 0);
    m_clientList = new VirtualReportList(this, CorvaneId::ClientList);
    right->Add(m_clientList, 1, wxEXPAND | wxALL, 5);

    top->Add(right, 1, wxEXPAND, 0);
    SetSizer(top);
    GrowToFit(this);

    Bind(wxEVT_INIT_DIALOG, &TuxPanel::OnInitPanel, this);
    m_alarmSet->Bind(wxEVT_BUTTON, &TuxPanel::OnAlarmSet, this);
    m_clearLog->Bind(wxEVT_BUTTON, &TuxPanel::OnClearLog, this);
    m_serverKind->Bind(wxEVT_CHOICE, &TuxPanel::OnServerKind, this);
    m_serverOnlyShow->Bind(wxEVT_CHECKBOX, &TuxPanel::OnServerOnlyShow, this);
    m_serverApply->Bind(wxEVT_BUTTON, &TuxPanel::OnServerApply, this);
    m_serverList->Bind(wxEVT_LIST_COL_CLICK, &TuxPanel::OnServerColumnClick, this);
    m_queueKind->Bind(wxEVT_CHOICE, &TuxPanel::OnQueueKind, this);
    m_queueOnlyShow->Bind(wxEVT_CHECKBOX, &TuxPanel::OnQueueOnlyShow, this);
    m_queueApply->Bind(wxEVT_BUTTON, &TuxPanel::OnQueueApply, this);
}

TuxPanel::~TuxPanel() = default;

void TuxPanel::OnInitPanel(wxInitDialogEvent& event)
{
    event.Skip();
}

void TuxPanel::OnAlarmSet(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnClearLog(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnServerKind(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnServerOnlyShow(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnServerApply(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnServerColumnClick(wxListEvent& event)
{
    event.Skip();
}

void TuxPanel::OnQueueKind(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnQueueOnlyShow(wxCommandEvent& event)
{
    event.Skip();
}

void TuxPanel::OnQueueApply(wxCommandEvent& event)
{
    event.Skip();
}
