#include "history/chart_frame.h"

#include "common/window_fit.h"
#include "history/chart_canvas.h"

#include <wx/button.h>
#include <wx/checklst.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/timectrl.h>

ChartFrame::ChartFrame(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                       const wxSize& size, long style)
    : wxFrame(parent, id, title, pos, size, style)
{
    auto* panel = new wxPanel(this);
    auto* left = new wxBoxSizer(wxVERTICAL);
    auto label = [&](const char* text)
    { left->Add(new wxStaticText(panel, wxID_ANY, text), 0, wxLEFT | wxRIGHT | wxTOP, 5); };

    label("Site:");
    m_site = new wxChoice(panel, wxID_ANY);
    left->Add(m_site, 0, wxEXPAND | wxALL, 5);
    label("Object:");
    m_kind = new wxChoice(panel, wxID_ANY);
    left->Add(m_kind, 0, wxEXPAND | wxALL, 5);
    m_objects = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(220, 150), 0, nullptr,
                              wxLB_SINGLE | wxLB_SORT);
    left->Add(m_objects, 1, wxEXPAND | wxALL, 5);
    label("Metrics:");
    m_metrics = new wxCheckListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(220, 110));
    left->Add(m_metrics, 0, wxEXPAND | wxALL, 5);

    label("Time range:");
    const wxString ranges[] = {"Last hour", "Last 24 hours", "Last 7 days", "Custom"};
    m_range = new wxChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 4, ranges);
    m_range->SetSelection(1);
    left->Add(m_range, 0, wxEXPAND | wxALL, 5);
    // Date over time: GTK's time picker needs more room than a row beside
    // the date would leave.
    auto* custom = new wxFlexGridSizer(4, 2, 3, 3);
    const auto picker = [&](const char* label, wxDatePickerCtrl*& date, wxTimePickerCtrl*& time)
    {
        custom->Add(new wxStaticText(panel, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        date = new wxDatePickerCtrl(panel, wxID_ANY);
        custom->Add(date, 0, wxEXPAND);
        custom->AddSpacer(0);
        time = new wxTimePickerCtrl(panel, wxID_ANY);
        time->SetMinSize(wxSize(time->GetBestSize().x + GetCharWidth() * 4, -1));
        custom->Add(time, 0, wxEXPAND);
    };
    picker("From:", m_fromDate, m_fromTime);
    picker("To:", m_toDate, m_toTime);
    left->Add(custom, 0, wxALL, 5);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_show = new wxButton(panel, wxID_ANY, "Show");
    m_exportPng = new wxButton(panel, wxID_ANY, "PNG...");
    m_exportCsv = new wxButton(panel, wxID_ANY, "CSV...");
    for (wxButton* b : {m_show, m_exportPng, m_exportCsv})
        buttons->Add(b, 1, wxRIGHT, 3);
    left->Add(buttons, 0, wxEXPAND | wxALL, 5);

    auto* keep = new wxStaticBoxSizer(wxVERTICAL, panel, "History of this site");
    auto* keepRow = new wxBoxSizer(wxHORIZONTAL);
    keepRow->Add(new wxStaticText(keep->GetStaticBox(), wxID_ANY, "Keep for"), 0,
                 wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    m_keepDays = new wxSpinCtrl(keep->GetStaticBox(), wxID_ANY, "0", wxDefaultPosition,
                                wxDefaultSize, wxSP_ARROW_KEYS, 0, 36500, 0);
    keepRow->Add(m_keepDays, 0, wxALIGN_CENTER_VERTICAL);
    keepRow->Add(new wxStaticText(keep->GetStaticBox(), wxID_ANY, "days (0: all)"), 0,
                 wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    keep->Add(keepRow, 0, wxALL, 3);
    auto* keepButtons = new wxBoxSizer(wxHORIZONTAL);
    m_applyKeep = new wxButton(keep->GetStaticBox(), wxID_ANY, "Apply");
    m_compact = new wxButton(keep->GetStaticBox(), wxID_ANY, "Compact file");
    keepButtons->Add(m_applyKeep, 1, wxRIGHT, 3);
    keepButtons->Add(m_compact, 1);
    keep->Add(keepButtons, 0, wxEXPAND | wxALL, 3);
    m_fileInfo = new wxStaticText(keep->GetStaticBox(), wxID_ANY, wxEmptyString,
                                  wxDefaultPosition, wxSize(220, -1));
    keep->Add(m_fileInfo, 0, wxEXPAND | wxALL, 3);
    left->Add(keep, 0, wxEXPAND | wxALL, 5);

    auto* right = new wxBoxSizer(wxVERTICAL);
    m_canvas = new ChartCanvas(panel);
    right->Add(m_canvas, 1, wxEXPAND | wxALL, 5);
    // One line each, empty until there is something to say.
    const wxSize line(-1, GetCharHeight() + 4);
    m_readout = new wxStaticText(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, line,
                                 wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    right->Add(m_readout, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);
    m_status = new wxStaticText(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, line,
                                wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    right->Add(m_status, 0, wxEXPAND | wxALL, 5);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(left, 0, wxEXPAND);
    top->Add(right, 1, wxEXPAND);
    panel->SetSizer(top);
    auto* frameSizer = new wxBoxSizer(wxVERTICAL);
    frameSizer->Add(panel, 1, wxEXPAND);
    SetSizer(frameSizer);
    GrowToFit(this);

    m_site->Bind(wxEVT_CHOICE, &ChartFrame::OnSite, this);
    m_kind->Bind(wxEVT_CHOICE, &ChartFrame::OnKind, this);
    m_objects->Bind(wxEVT_LISTBOX, &ChartFrame::OnObject, this);
    m_metrics->Bind(wxEVT_CHECKLISTBOX, &ChartFrame::OnMetric, this);
    m_range->Bind(wxEVT_CHOICE, &ChartFrame::OnRange, this);
    m_show->Bind(wxEVT_BUTTON, &ChartFrame::OnShow, this);
    m_exportPng->Bind(wxEVT_BUTTON, &ChartFrame::OnExportPng, this);
    m_exportCsv->Bind(wxEVT_BUTTON, &ChartFrame::OnExportCsv, this);
    m_applyKeep->Bind(wxEVT_BUTTON, &ChartFrame::OnApplyKeep, this);
    m_compact->Bind(wxEVT_BUTTON, &ChartFrame::OnCompact, this);
}
