#pragma once

#include "agent/agent_link.h"
#include "common/ids.h"
#include "store/records.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/textctrl.h>
#include <wx/wxsqlite3.h>

// What the tests of both monitor panels share: a panel of type Panel on a
// shown frame, for a site whose history goes to its database file in a fresh
// program directory, and the controls the operator uses.
template <class Panel> class PanelTest : public ::testing::Test
{
protected:
    void Open(const SiteRecord& site)
    {
        m_frame =
            new wxFrame(nullptr, wxID_ANY, site.SiteType, wxDefaultPosition, wxSize(1000, 700));
        m_frame->Show();
        PromptRecorder creating; // the notice of the new database file
        m_panel = new Panel(m_frame, AgentLink::Timeouts{2000, 4000});
        m_site = site;
        m_panel->SetSite(m_site);
        m_frame->Layout();
    }
    void TearDown() override
    {
        if (m_panel)
            m_panel->Destroy();
        if (m_frame)
            m_frame->Destroy();
        PumpFor(20);
    }

    template <class T> T* Find(int id) const { return dynamic_cast<T*>(m_panel->FindWindow(id)); }
    template <class T> T* FindLabel(const wxString& label) const
    {
        return dynamic_cast<T*>(wxWindow::FindWindowByLabel(label, m_panel));
    }
    wxCheckBox* RecordBox() const { return FindLabel<wxCheckBox>("Record to Database!"); }
    wxString Log() const { return Find<wxTextCtrl>(CorvaneId::LogArea)->GetValue(); }
    wxString StartLabel() const { return Find<wxButton>(CorvaneId::StartStop)->GetLabel(); }
    void SetInterval(const wxString& text)
    {
        Find<wxTextCtrl>(CorvaneId::Interval)->SetValue(text);
    }
    bool ShowsIdle() const
    {
        return !m_panel->IsRunning() && !m_panel->Timer().IsRunning() && StartLabel() == "Start" &&
               Find<wxTextCtrl>(CorvaneId::Interval)->IsEnabled();
    }
    // Start with the shortest interval allowed; no message box may appear.
    void Start()
    {
        SetInterval("15");
        PromptRecorder none;
        ASSERT_EQ(m_panel->StartMonitor(), 1);
        EXPECT_TRUE(none.Messages().empty());
    }
    // Rows of a table of the site's database.
    int Count(const wxString& table)
    {
        wxSQLite3Database db;
        db.Open(m_home.File(m_site.DatabaseFile));
        return db.ExecuteScalar("select count(*) from " + table);
    }

    TempHome m_home;
    SiteRecord m_site;
    wxFrame* m_frame = nullptr;
    Panel* m_panel = nullptr;
};
