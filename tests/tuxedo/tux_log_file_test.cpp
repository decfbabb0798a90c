#include "tuxedo/tux_log_file.h"

#include "support/temp_home.h"

#include <gtest/gtest.h>

#include <wx/filefn.h>
#include <wx/log.h>

namespace
{
// Runs the test inside a fresh directory, since the log file lives in the
// current one.
class InTempDir : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_before = wxGetCwd();
        ASSERT_TRUE(wxSetWorkingDirectory(m_home.Dir()));
    }
    void TearDown() override { wxSetWorkingDirectory(m_before); }
    std::string Logged(const char* text)
    {
        wxLogMessage("%s", text);
        wxLog::FlushActive();
        return ReadFileBytes(m_home.File("CorvaneLog.txt"));
    }

    TempHome m_home;
    wxString m_before;
};
} // namespace

TEST_F(InTempDir, MessagesGoToTheFileWithItsTimeStampAndASecondPanelEmptiesIt)
{
    TuxLogFile first;
    const std::string text = Logged("parse trouble");
    // "[06/12/26 14:05:09] parse trouble"
    ASSERT_GE(text.size(), 21u);
    EXPECT_EQ(text[0], '[');
    EXPECT_EQ(text[3], '/');
    EXPECT_EQ(text.substr(18, 2), "] ");
    EXPECT_NE(text.find("parse trouble"), std::string::npos);

    TuxLogFile second;
    EXPECT_EQ(ReadFileBytes(m_home.File("CorvaneLog.txt")), "");
    const std::string after = Logged("after the second");
    EXPECT_EQ(after.find("parse trouble"), std::string::npos);
    EXPECT_NE(after.find("after the second"), std::string::npos);
}

// Fault 10: once the panels are gone the toolkit must not log into their
// closed file; the target active before them comes back.
TEST_F(InTempDir, LogTargetIsRestoredWhenThePanelsGo)
{
    wxLog* const original = wxLog::GetActiveTarget();
    {
        TuxLogFile a;
        EXPECT_NE(wxLog::GetActiveTarget(), original);
        {
            TuxLogFile b;
        }
        // One panel is still open: its file stays the destination.
        EXPECT_NE(Logged("still open").find("still open"), std::string::npos);
    }
    EXPECT_EQ(wxLog::GetActiveTarget(), original);
    EXPECT_EQ(Logged("after all panels closed").find("after all panels closed"), std::string::npos);
}
