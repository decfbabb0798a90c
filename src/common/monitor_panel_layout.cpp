#include "common/monitor_panel_layout.h"

#include "common/ids.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cmath>

namespace
{
// The log text takes the system's active-caption colour; some themes make that
// a pale grey that all but vanishes on a white log, so keep it dark enough.
wxColour LogTextColour(const wxColour& background)
{
    wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION);
    const double contrast = std::abs(text.GetLuminance() - background.GetLuminance());
    if (contrast < 0.45)
        text = text.ChangeLightness(background.GetLuminance() > 0.5 ? 40 : 160);
    return text;
}
} // namespace

void SetMonitorPanelColours(wxWindow* panel)
{
    const wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_INACTIVECAPTIONTEXT);
    panel->SetBackgroundColour(background);
    panel->SetForegroundColour(background.GetLuminance() < 0.5 ? *wxWHITE : *wxBLACK);
}

MonitorLeftColumn BuildMonitorLeftColumn(wxWindow* panel)
{
    MonitorLeftColumn c;
    wxBoxSizer* left = new wxBoxSizer(wxVERTICAL);
    c.sizer = left;

    c.summaryList = new wxListCtrl(panel, wxID_ANY, wxDefaultPosition, wxSize(-1, 200),
                                   wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_HEADER);
    left->Add(c.summaryList, 0, wxEXPAND | wxALL, 5);

    c.alarmSet = new wxButton(panel, CorvaneId::AlarmSet, "Alarm Set");
    left->Add(c.alarmSet, 0, wxEXPAND | wxALL, 5);

    c.recordToDb = new wxCheckBox(panel, wxID_ANY, "Record to Database!");
    // The demo (run.sh) opens its panels recording, so its charts fill.
    wxString record;
    c.recordToDb->SetValue(wxGetEnv("CORVANE_RECORD_HISTORY", &record) && record == "1");
    left->Add(c.recordToDb, 0, wxALL, 5);

    wxBoxSizer* startRow = new wxBoxSizer(wxHORIZONTAL);
    c.startStop = new wxButton(panel, CorvaneId::StartStop, "Start");
    c.startStop->SetDefault();
    c.startStop->SetFont(c.startStop->GetFont().Bold());
    c.startStop->SetForegroundColour(*wxRED);
    startRow->Add(c.startStop, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    c.intervalLabel = new wxStaticText(panel, wxID_ANY, "Interval(S):");
    startRow->Add(c.intervalLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    c.interval = new wxTextCtrl(panel, CorvaneId::Interval, "30", wxDefaultPosition, wxSize(50, -1));
    c.interval->SetMaxLength(6);
    c.interval->SetMinSize(wxSize(50, -1));
    startRow->Add(c.interval, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    left->Add(startRow, 0, wxEXPAND, 0);

    wxStaticBoxSizer* logs = new wxStaticBoxSizer(wxVERTICAL, panel, "Logs");
    c.logArea = new wxTextCtrl(logs->GetStaticBox(), CorvaneId::LogArea, wxEmptyString,
                               wxDefaultPosition, wxDefaultSize,
                               wxTE_MULTILINE | wxTE_WORDWRAP | wxNO_BORDER);
    c.logArea->SetForegroundColour(LogTextColour(c.logArea->GetBackgroundColour()));
    logs->Add(c.logArea, 1, wxEXPAND | wxALL, 5);
    c.clearLog = new wxButton(logs->GetStaticBox(), wxID_ANY, "Clear");
    logs->Add(c.clearLog, 0, wxALIGN_RIGHT | wxALL, 5);
    left->Add(logs, 1, wxEXPAND | wxALL, 5);
    return c;
}

void FillSummaryLabels(wxListCtrl* summary, const char* const* labels, int count)
{
    summary->InsertColumn(0, "Statu");
    summary->InsertColumn(1, "Values");
    for (int row = 0; row < count; ++row)
        summary->InsertItem(row, labels[row]);
    summary->SetItemTextColour(0, *wxRED);
    summary->SetItemTextColour(1, *wxRED);
    summary->SetColumnWidth(0, wxLIST_AUTOSIZE);
    summary->SetColumnWidth(1, wxLIST_AUTOSIZE_USEHEADER);
    wxRect rowRect;
    if (summary->GetItemRect(0, rowRect))
        summary->SetMinSize(wxSize(-1, rowRect.height * count + rowRect.y + 4));
}

void ShowMonitorRunning(wxButton* startStop, wxTextCtrl* interval, wxListCtrl* summary, bool running)
{
    startStop->SetLabel(running ? "Stop" : "Start");
    interval->Enable(!running);
    if (!running)
        return;
    for (long row = 0; row < summary->GetItemCount(); ++row)
        summary->SetItem(row, 1, wxString());
}
