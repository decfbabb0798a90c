// The real console watching a fake WebLogic domain through corvane-agent: the
// site is added as WebLogic V10, Start fills the panel's lists, a poll raises
// the JDBC alarm, and its thread dumps come back into the log.
#include "common/text.h"
#include "e2e/console_driver.h"
#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "weblogic/dunmere_panel.h"
#include "wls_fixture.h"

#include <gtest/gtest.h>
#include <wx/dir.h>

TEST(AgentdEndToEnd, ConsoleWatchesADomainThroughTheAgent)
{
    TempHome home;
    PromptRecorder prompts;
    const std::string dir = ToUtf8(home.Dir());
    // AdminServer, ManagedServer_1 down, ManagedServer_2 with a pool used up.
    FakeWls fake({"--down", "ManagedServer_1"}, dir);
    AgentUnderTest agent({}, dir, fake);
    ASSERT_GT(agent.Port(), 0);
    const SiteRecord site = FakeSite(agent.Port(), fake.Port(), WlsPassword);
    {
        DbAccess db;
        ASSERT_EQ(db.Open(home.File("Corvane.db"), DbAccess::ConfigDb), 1);
        ASSERT_EQ(db.InsertSite(site), 1);
    }

    Console console;
    auto* wls = dynamic_cast<DunmerePanel*>(console.OpenFromSiteList("prod", false));
    ASSERT_NE(wls, nullptr);
    EditAlarmRules(wls, {{"Idle JDBC low than %", "10"}}, {"ThreadDump!"});
    SetIntervalText(wls, "3600");
    PressStartStop(wls);
    ASSERT_TRUE(wls->IsRunning()) << LogText(wls);
    EXPECT_EQ(wls->ShownRows(0), 3); // servers, the down one included
    EXPECT_EQ(wls->ShownRows(1), 2); // JVMs
    EXPECT_EQ(wls->ShownRows(2), 2); // thread pools
    EXPECT_EQ(wls->ShownRows(3), 4); // data sources
    EXPECT_EQ(wls->SummaryValue(4), "base_domain");

    const int ended = wls->ScansEnded();
    TickTimer(wls->Timer());
    ASSERT_TRUE(PumpUntil([&] { return wls->ScansEnded() > ended && !wls->ScanRunning(); }, 15000));
    const wxString log = LogText(wls);
    EXPECT_NE(log.find("[ ManagedServer_2]  Free JDBC Too Low!!!\n"), wxString::npos) << log;
    EXPECT_NE(log.find("[ ManagedServer_2]  Do ThreadDump !!!Thread dumps taken: ManagedServer_2 x3"),
              wxString::npos)
        << log;
    EXPECT_TRUE(wls->ShownRed(3, 2));
    wxArrayString dumps;
    EXPECT_EQ(wxDir::GetAllFiles(home.Dir(), &dumps, "ManagedServer_2-*.txt"), 3u);
    EXPECT_EQ(ToUtf8(LogText(wls)).find(WlsPassword), std::string::npos);
    EXPECT_EQ(agent.Log().find(WlsPassword), std::string::npos);
}
