#pragma once

#include <wx/frame.h>

class ChartCanvas;
class wxButton;
class wxCheckListBox;
class wxChoice;
class wxDatePickerCtrl;
class wxListBox;
class wxSpinCtrl;
class wxStaticText;
class wxTimePickerCtrl;

// Generated layout of the chart window: the pickers of site, object, metrics
// and time range on the left with export and retention, the chart on the
// right with its read-out and status lines.
class ChartFrame : public wxFrame
{
public:
    ChartFrame(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& title = "History Chart",
               const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(1100, 720),
               long style = wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL);

protected:
    wxChoice* m_site;
    wxChoice* m_kind;
    wxListBox* m_objects;
    wxCheckListBox* m_metrics;
    wxChoice* m_range;
    wxDatePickerCtrl* m_fromDate;
    wxTimePickerCtrl* m_fromTime;
    wxDatePickerCtrl* m_toDate;
    wxTimePickerCtrl* m_toTime;
    wxButton* m_show;
    wxButton* m_exportPng;
    wxButton* m_exportCsv;
    wxSpinCtrl* m_keepDays;
    wxButton* m_applyKeep;
    wxButton* m_compact;
    wxStaticText* m_fileInfo;
    ChartCanvas* m_canvas;
    wxStaticText* m_readout;
    wxStaticText* m_status;

    virtual void OnSite(wxCommandEvent& event) { event.Skip(); }
    virtual void OnKind(wxCommandEvent& event) { event.Skip(); }
    virtual void OnObject(wxCommandEvent& event) { event.Skip(); }
    virtual void OnMetric(wxCommandEvent& event) { event.Skip(); }
    virtual void OnRange(wxCommandEvent& event) { event.Skip(); }
    virtual void OnShow(wxCommandEvent& event) { event.Skip(); }
    virtual void OnExportPng(wxCommandEvent& event) { event.Skip(); }
    virtual void OnExportCsv(wxCommandEvent& event) { event.Skip(); }
    virtual void OnApplyKeep(wxCommandEvent& event) { event.Skip(); }
    virtual void OnCompact(wxCommandEvent& event) { event.Skip(); }
};
