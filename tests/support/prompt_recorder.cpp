#include "support/prompt_recorder.h"

#include <gtest/gtest.h>
#include <wx/debug.h>

PromptRecorder::PromptRecorder()
{
    m_previousMessage = SetMessageHandler(
        [this](const MessageRequest& request)
        {
            m_messages.push_back(request);
            if (!(request.style & wxYES_NO))
                return wxOK;
            if (m_answers.empty())
                return defaultAnswer;
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
    m_previousFile = SetFileHandler(
        [this](const FileRequest& request)
        {
            m_fileRequests.push_back(request);
            if (m_files.empty())
                return wxString();
            wxString path = m_files.front();
            m_files.pop_front();
            return path;
        });
    m_previousText = SetTextHandler(
        [this](const TextRequest& request, wxString& answer)
        {
            m_textRequests.push_back(request);
            if (m_texts.empty())
                return false;
            answer = m_texts.front();
            m_texts.pop_front();
            return true;
        });
}

PromptRecorder::~PromptRecorder()
{
    SetMessageHandler(m_previousMessage);
    SetFileHandler(m_previousFile);
    SetTextHandler(m_previousText);
}

std::vector<wxString> PromptRecorder::Texts() const
{
    std::vector<wxString> texts;
    for (const auto& m : m_messages)
        texts.push_back(m.text);
    return texts;
}

namespace
{
// A failed wxASSERT would open a modal box and hang a test run: fail the
// running test instead.
void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE() << "wx assertion failed at " << file.utf8_str().data() << ":" << line << " in "
                  << func.utf8_str().data() << ": " << cond.utf8_str().data() << " "
                  << msg.utf8_str().data();
}
} // namespace

void InstallUnexpectedPromptGuard()
{
    wxSetAssertHandler(FailOnAssert);
    SetMessageHandler(
        [](const MessageRequest& request)
        {
            ADD_FAILURE() << "unexpected message box: [" << request.caption.utf8_str().data()
                          << "] " << request.text.utf8_str().data();
            return (request.style & wxYES_NO) ? wxNO : wxOK;
        });
    SetFileHandler(
        [](const FileRequest& request)
        {
            ADD_FAILURE() << "unexpected file dialog: " << request.title.utf8_str().data();
            return wxString();
        });
}
