#pragma once

class wxButton;
class wxCheckBox;
class wxListCtrl;
class wxSizer;
class wxStaticText;
class wxTextCtrl;
class wxWindow;

// The part of the layout both monitor panels share: the left column with the
// summary list, "Alarm Set", "Record to Database!", Start/Stop with the
// interval, and the "Logs" box with its "Clear" button.
struct MonitorLeftColumn
{
    wxListCtrl* summaryList;
    wxButton* alarmSet;
    wxCheckBox* recordToDb;
    wxButton* startStop;
    wxStaticText* intervalLabel;
    wxTextCtrl* interval;
    wxTextCtrl* logArea;
    wxButton* clearLog;
    wxSizer* sizer;
};

// Background of the system's inactive-caption-text colour, with labels kept
// readable on whatever shade the desktop gives it.
void SetMonitorPanelColours(wxWindow* panel);

MonitorLeftColumn BuildMonitorLeftColumn(wxWindow* panel);

// Columns "Statu" and "Values", one row per label (labels keep their blanks),
// rows 0 and 1 in red, and the list tall enough for every row.
void FillSummaryLabels(wxListCtrl* summary, const char* const* labels, int count);

// The running state a monitor reports: "Stop" and the interval field locked
// while running, "Start" and the field open when idle. Start blanks the
// summary's values before the first report.
void ShowMonitorRunning(wxButton* startStop, wxTextCtrl* interval, wxListCtrl* summary, bool running);
