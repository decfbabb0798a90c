#include "common/prompt.h"

#include <wx/thread.h>

#include <cstdio>
#include <utility>

namespace
{
MessageHandler& CurrentMessageHandler()
{
    static MessageHandler handler;
    return handler;
}

FileHandler& CurrentFileHandler()
{
    static FileHandler handler;
    return handler;
}

TextHandler& CurrentTextHandler()
{
    static TextHandler handler;
    return handler;
}

// Without a GUI (the core tests, a tool) a message goes to stderr and the
// cautious answer is taken.
int FallbackAnswer(const MessageRequest& request)
{
    std::fprintf(stderr, "[%s] %s\n", request.caption.utf8_str().data(),
                 request.text.utf8_str().data());
    return (request.style & wxYES_NO) ? wxNO : wxOK;
}
} // namespace

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return std::exchange(CurrentMessageHandler(), std::move(handler));
}

FileHandler SetFileHandler(FileHandler handler)
{
    return std::exchange(CurrentFileHandler(), std::move(handler));
}

TextHandler SetTextHandler(TextHandler handler)
{
    return std::exchange(CurrentTextHandler(), std::move(handler));
}

int ShowMessage(const wxString& text, const wxString& caption, long style, wxWindow* parent)
{
    MessageRequest request{text, caption, style, parent};
    if (!wxIsMainThread() || !CurrentMessageHandler())
        return FallbackAnswer(request);
    return CurrentMessageHandler()(request);
}

wxString ChooseFile(const FileRequest& request)
{
    if (!wxIsMainThread() || !CurrentFileHandler())
        return wxString();
    return CurrentFileHandler()(request);
}

bool AskText(const TextRequest& request, wxString& answer)
{
    if (!wxIsMainThread() || !CurrentTextHandler())
        return false;
    return CurrentTextHandler()(request, answer);
}
