#pragma once

#include <wx/panel.h>

class VirtualReportList;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxInitDialogEvent;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxTextCtrl;

// Layout of a Tuxedo monitor panel: creates the controls and binds their
// events to virtual handlers that let the event pass. HalvexPanel overrides
// the handlers.
class TuxPanel : public wxPanel
{
public:
    TuxPanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
             const wxSize& size = wxSize(800, 550), long style = wxTAB_TRAVERSAL);
    ~TuxPanel() override;

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
    wxChoice* m_serverKind;
    wxCheckBox* m_serverOnlyShow;
    wxTextCtrl* m_serverFilter;
    wxButton* m_serverApply;
    VirtualReportList* m_serverList;
    wxStaticText* m_queuesLabel;
    wxChoice* m_queueKind;
    wxCheckBox* m_queueOnlyShow;
    wxTextCtrl* m_queueFilter;
    wxButton* m_queueApply;
    VirtualReportList* m_queueList;
    wxStaticText* m_clientsLabel;
    wxButton* m_customView;
    VirtualReportList* m_clientList;

    // Handlers, in slot order.
    virtual void OnInitPanel(wxInitDialogEvent& event);
    virtual void OnAlarmSet(wxCommandEvent& event);
    virtual void OnClearLog(wxCommandEvent& event);
    virtual void OnServerKind(wxCommandEvent& event);
    virtual void OnServerOnlyShow(wxCommandEvent& event);
    virtual void OnServerApply(wxCommandEvent& event);
    virtual void OnServerColumnClick(wxListEvent& event);
    virtual void OnQueueKind(wxCommandEvent& event);
    virtual void OnQueueOnlyShow(wxCommandEvent& event);
    virtual void OnQueueApply(wxCommandEvent& event);
};
