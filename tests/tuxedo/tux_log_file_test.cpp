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
    std::string LogText() const { return ReadFileBytes(m_home.File("CorvaneLog.txt")); }

    TempHome m_home;
    wxString m_before;
};
} // namespace

TEST_F(InTempDir, ToolkitMessagesGoToTheFileWithItsTimeStamp)
{
    TuxLogFile file;
    wxLogMessage("parse trouble");
    wxLog::FlushActive();
    const std::string text = LogText();
    // "[06/12/26 14:05:09] parse trouble"
    ASSERT_GE(text.size(), 21u);
    EXPECT_EQ(text[0], '[');
    EXPECT_EQ(text[3], '/');
    EXPECT_EQ(text.substr(18, 2), "] ");
    EXPECT_NE(text.find("parse trouble"), std::string::npos);
}

TEST_F(InTempDir, ASecondPanelEmptiesTheFile)
{
    TuxLogFile first;
    wxLogMessage("from the first panel");
    wxLog::FlushActive();
    ASSERT_NE(LogText(), "");
    TuxLogFile second;
    EXPECT_EQ(LogText(), "");
    wxLogMessage("after the second");
    wxLog::FlushActive();
    EXPECT_EQ(LogText().find("from the first panel"), std::string::npos);
    EXPECT_NE(LogText().find("after the second"), std::string::npos);
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
        wxLogMessage("still open");
        wxLog::FlushActive();
        EXPECT_NE(LogText().find("still open"), std::string::npos);
    }
    EXPECT_EQ(wxLog::GetActiveTarget(), original);
    wxLogMessage("after all panels closed");
    wxLog::FlushActive();
    EXPECT_EQ(LogText().find("after all panels closed"), std::string::npos);
}
