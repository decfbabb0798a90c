#pragma once

#include <wx/log.h>

#include <string>
#include <vector>

// Collects the toolkit's log messages while it lives, then puts the previous
// target back. Messages logged on the test's own thread only.
class LogCapture : public wxLog
{
public:
    LogCapture() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCapture() override { wxLog::SetActiveTarget(m_previous); }
    // Takes what was logged so far, as UTF-8.
    std::vector<std::string> Take()
    {
        std::vector<std::string> taken;
        taken.swap(m_messages);
        return taken;
    }

protected:
    void DoLogRecord(wxLogLevel, const wxString& text, const wxLogRecordInfo&) override
    {
        m_messages.push_back(text.utf8_string());
    }

private:
    wxLog* m_previous;
    std::vector<std::string> m_messages;
};
