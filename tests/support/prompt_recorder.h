#pragma once

#include "common/prompt.h"

#include <deque>
#include <vector>

// Records every message box and file dialog shown while it lives and answers
// them from queues: no modal loop ever runs in a test.
class PromptRecorder
{
public:
    PromptRecorder();
    ~PromptRecorder();
    PromptRecorder(const PromptRecorder&) = delete;
    PromptRecorder& operator=(const PromptRecorder&) = delete;

    // Answers for the next Yes/No questions (wxYES or wxNO), in order. When
    // the queue is empty a question is answered with defaultAnswer.
    void Answer(int answer) { m_answers.push_back(answer); }
    int defaultAnswer = wxNO;

    // Paths for the next file dialogs; an empty path means Cancel.
    void ChooseFile(const wxString& path) { m_files.push_back(path); }
    // Texts for the next questions asking for text; none left means Cancel.
    void EnterText(const wxString& text) { m_texts.push_back(text); }

    const std::vector<MessageRequest>& Messages() const { return m_messages; }
    std::vector<wxString> Texts() const;
    const std::vector<FileRequest>& FileRequests() const { return m_fileRequests; }
    const std::vector<TextRequest>& TextRequests() const { return m_textRequests; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<MessageRequest> m_messages;
    std::vector<FileRequest> m_fileRequests;
    std::deque<int> m_answers;
    std::deque<wxString> m_files;
    std::vector<TextRequest> m_textRequests;
    std::deque<wxString> m_texts;
    MessageHandler m_previousMessage;
    FileHandler m_previousFile;
    TextHandler m_previousText;
};

// Outside a PromptRecorder a message box fails the running test instead of
// blocking it.
void InstallUnexpectedPromptGuard();
