#pragma once

#include <wx/panel.h>

class VirtualReportList;
class wxButton;
class wxCheckBox;
class wxCommandEvent;
class wxInitDialogEvent;
class wxListCtrl;
class wxStaticText;
class wxTextCtrl;

// Layout of a WebLogic monitor panel: creates the controls, their columns and
// the summary labels, and binds the events to virtual handlers that let the
// event pass. DunmerePanel overrides the handlers.
class WlsPanel : public wxPanel
{
public:
    WlsPanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
             const wxSize& size = wxSize(800, 550), long style = wxTAB_TRAVERSAL);
    ~WlsPanel() override;

    static constexpr int SummaryRows = 10;

protected:
    // Left column
    wxListCtrl* m_summaryList;
    wxButton* m_alarmSet;
    wxCheckBox* m_recordToDb;
    wxButton* m_startStop;
    wxStaticText* m_intervalLabel;
    wxTextCtrl* m_interval;
    wxTextCtrl* m_logArea;
    wxButton* m_clearLog;
    // Right column
    wxStaticText* m_serversLabel;
    VirtualReportList* m_serverList;
    wxStaticText* m_jvmLabel;
    VirtualReportList* m_jvmList;
    wxStaticText* m_threadLabel;
    VirtualReportList* m_threadList;
    wxStaticText* m_jdbcLabel;
    VirtualReportList* m_jdbcList;

    // Handlers, in slot order.
    virtual void OnInitPanel(wxInitDialogEvent& event);
    virtual void OnAlarmSet(wxCommandEvent& event);
    virtual void OnStartStop(wxCommandEvent& event);
    virtual void OnClearLog(wxCommandEvent& event);
};
