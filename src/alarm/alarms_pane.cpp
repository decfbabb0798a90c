#include "alarm/alarms_pane.h"

#include "common/prompt.h"
#include "common/text.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/ffile.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace
{
// How many journal events the pane shows.
constexpr size_t kJournalRows = 200;

wxString TimeOrNever(std::chrono::system_clock::time_point t)
{
    return t == std::chrono::system_clock::time_point() ? wxString("-") : AlarmTimeText(t);
}

// Columns wide enough for a full time stamp and a long object name.
wxListCtrl* NewList(wxWindow* parent, std::initializer_list<std::pair<const char*, int>> columns)
{
    auto* list = new wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxLC_REPORT | wxLC_SINGLE_SEL);
    long column = 0;
    for (const auto& c : columns)
        list->InsertColumn(column++, c.first, wxLIST_FORMAT_LEFT, list->FromDIP(c.second));
    return list;
}

void SetRow(wxListCtrl* list, long row, std::initializer_list<wxString> cells)
{
    long column = 0;
    for (const wxString& cell : cells)
    {
        if (column == 0)
            list->InsertItem(row, cell);
        else
            list->SetItem(row, column, cell);
        ++column;
    }
}
} // namespace

AlarmsPane::AlarmsPane(wxWindow* parent, std::shared_ptr<AlarmBook> book)
    : wxPanel(parent, wxID_ANY), m_book(std::move(book)), m_timer(this)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    m_active = NewList(this, {{"Site", 130},
                              {"Kind", 140},
                              {"Object", 220},
                              {"Since", 150},
                              {"Last notified", 150},
                              {"Notices", 70},
                              {"Acknowledged by", 130},
                              {"Acknowledged at", 150}});
    top->Add(m_active, 1, wxEXPAND | wxALL, 5);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_ack = new wxButton(this, wxID_ANY, "Acknowledge");
    m_mute = new wxButton(this, wxID_ANY, "Mute site until...");
    buttons->Add(m_ack, 0, wxALL, 5);
    buttons->Add(m_mute, 0, wxALL, 5);
    buttons->AddStretchSpacer();
    buttons->Add(new wxStaticText(this, wxID_ANY, "Journal of"), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_site = new wxChoice(this, wxID_ANY);
    buttons->Add(m_site, 0, wxALL, 5);
    m_export = new wxButton(this, wxID_ANY, "Export CSV...");
    buttons->Add(m_export, 0, wxALL, 5);
    top->Add(buttons, 0, wxEXPAND);

    m_journal =
        NewList(this, {{"Time", 150}, {"Kind", 140}, {"Object", 220}, {"Event", 110}, {"Text", 520}});
    top->Add(m_journal, 1, wxEXPAND | wxALL, 5);
    SetSizerAndFit(top);
    SetSize(wxSize(900, 420));

    m_ack->Bind(wxEVT_BUTTON, &AlarmsPane::OnAcknowledge, this);
    m_mute->Bind(wxEVT_BUTTON, &AlarmsPane::OnMute, this);
    m_export->Bind(wxEVT_BUTTON, &AlarmsPane::OnExport, this);
    m_site->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { Reload(); });
    Bind(wxEVT_TIMER,
         [this](wxTimerEvent&)
         {
             std::vector<ActiveAlarm> active;
             std::vector<wxString> sites;
             if (IsShownOnScreen() && m_book->TryActive(active, sites))
                 ShowBook(std::move(active), sites, false);
         });
    m_timer.Start(2000);
    Reload();
}

wxString AlarmsPane::OperatorName()
{
    const wxString user = wxGetUserId();
    return user.empty() ? wxString("operator") : user;
}

void AlarmsPane::Reload()
{
    ShowBook(m_book->Active(), m_book->Sites(), true);
}

void AlarmsPane::ShowBook(std::vector<ActiveAlarm> active, const std::vector<wxString>& sites, bool wait)
{
    // Keep the selection on the same alarm across the reload.
    const long selected = m_active->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    ActiveAlarm keep;
    const bool hadSelection = selected >= 0 && static_cast<size_t>(selected) < m_shown.size();
    if (hadSelection)
        keep = m_shown[selected];

    m_shown = std::move(active);
    m_active->Freeze();
    m_active->DeleteAllItems();
    for (size_t i = 0; i < m_shown.size(); ++i)
    {
        const ActiveAlarm& a = m_shown[i];
        SetRow(m_active, static_cast<long>(i),
               {a.site, AlarmKindName(a.kind), a.object, AlarmTimeText(a.since), TimeOrNever(a.lastNotified),
                wxString::Format("%d", a.count), a.ackBy, a.ackBy.empty() ? wxString() : AlarmTimeText(a.ackAt)});
        if (hadSelection && a.site == keep.site && a.kind == keep.kind && a.object == keep.object)
            m_active->SetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    m_active->Thaw();

    const wxString site = m_site->GetStringSelection();
    m_site->Clear();
    for (const wxString& name : sites)
        m_site->Append(name);
    if (!site.empty() && m_site->FindString(site) != wxNOT_FOUND)
        m_site->SetStringSelection(site);
    else if (m_site->GetCount() > 0)
        m_site->SetSelection(0);

    std::vector<AlarmEvent> events;
    if (wait)
        events = m_book->Journal(m_site->GetStringSelection(), kJournalRows);
    else if (!m_book->TryJournal(m_site->GetStringSelection(), kJournalRows, events))
        return;
    m_journal->Freeze();
    m_journal->DeleteAllItems();
    for (size_t i = 0; i < events.size(); ++i)
    {
        const AlarmEvent& e = events[i];
        SetRow(m_journal, static_cast<long>(i),
               {AlarmTimeText(e.time), e.kind, e.object, AlarmEventName(e.type), e.text});
    }
    m_journal->Thaw();
}

wxString AlarmsPane::SelectedSite() const
{
    const long row = m_active->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row >= 0 && static_cast<size_t>(row) < m_shown.size())
        return m_shown[row].site;
    return m_site->GetStringSelection();
}

bool AlarmsPane::AcknowledgeSelected()
{
    const long row = m_active->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= m_shown.size())
        return false;
    const ActiveAlarm& a = m_shown[row];
    const bool done = m_book->Acknowledge(a.site, a.kind, a.object, OperatorName());
    Reload();
    return done;
}

void AlarmsPane::MuteSelectedSite(int minutes)
{
    const wxString site = SelectedSite();
    if (site.empty())
        return;
    m_book->Mute(site, std::chrono::system_clock::now() + std::chrono::minutes(minutes), OperatorName());
    Reload();
}

bool AlarmsPane::ExportJournal(const wxString& path)
{
    const std::string csv = JournalCsv(m_book->Journal(m_site->GetStringSelection(), 1000000));
    wxFFile file(path, "wb");
    return file.IsOpened() && file.Write(csv.data(), csv.size()) == csv.size() && file.Close();
}

void AlarmsPane::OnAcknowledge(wxCommandEvent&)
{
    if (!AcknowledgeSelected())
        ShowMessage("Select an active alarm to acknowledge.");
}

void AlarmsPane::OnMute(wxCommandEvent&)
{
    const wxString site = SelectedSite();
    if (site.empty())
        return;
    wxString minutes;
    if (!AskText({"Mute the notices of " + site + " for how many minutes? (0 unmutes)", "Mute site", "60", this},
                 minutes))
        return;
    MuteSelectedSite(std::max(0, AtoiText(minutes)));
}

void AlarmsPane::OnExport(wxCommandEvent&)
{
    const wxString site = m_site->GetStringSelection();
    if (site.empty())
        return;
    const wxString path = ChooseFile({"Export the journal of " + site, wxEmptyString, site + "-alarms.csv",
                                      "CSV files (*.csv)|*.csv", wxFD_SAVE | wxFD_OVERWRITE_PROMPT, this});
    if (path.empty())
        return;
    if (!ExportJournal(path))
        ShowMessage("Cannot write " + path);
}
