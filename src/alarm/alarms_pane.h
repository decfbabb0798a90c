#pragma once

#include "alarm/alarm_book.h"

#include <wx/panel.h>
#include <wx/timer.h>

#include <memory>
#include <vector>

class wxButton;
class wxChoice;
class wxListCtrl;

// The "Alarms" pane: the active alarms of every open site, with
// Acknowledge and Mute, and the latest journal events of one site with an
// export to CSV. It only shows the book and asks; the book decides.
class AlarmsPane : public wxPanel
{
public:
    AlarmsPane(wxWindow* parent, std::shared_ptr<AlarmBook> book);

    // Reads the book again (a timer does it every two seconds while the pane
    // is shown, skipping a moment when a scan is writing its journal).
    void Reload();

    // The operator's name for acknowledgements and mutes.
    static wxString OperatorName();

    wxListCtrl* ActiveList() const { return m_active; }
    wxListCtrl* JournalList() const { return m_journal; }

    // The actions of the buttons, for the buttons and for tests: acknowledge
    // the selected alarm; mute the selected site for minutes (0 unmutes);
    // write the shown site's journal to path.
    bool AcknowledgeSelected();
    void MuteSelectedSite(int minutes);
    bool ExportJournal(const wxString& path);

private:
    wxString SelectedSite() const;
    // The lists as the book has them; without wait, a journal being written
    // leaves the journal list as it was.
    void ShowBook(std::vector<ActiveAlarm> active, const std::vector<wxString>& sites, bool wait);
    void OnAcknowledge(wxCommandEvent& event);
    void OnMute(wxCommandEvent& event);
    void OnExport(wxCommandEvent& event);

    std::shared_ptr<AlarmBook> m_book;
    wxListCtrl* m_active = nullptr;
    wxChoice* m_site = nullptr;
    wxListCtrl* m_journal = nullptr;
    wxButton* m_ack = nullptr;
    wxButton* m_mute = nullptr;
    wxButton* m_export = nullptr;
    std::vector<ActiveAlarm> m_shown;
    wxTimer m_timer;
};
