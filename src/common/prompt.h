#pragma once

#include <wx/defs.h>
#include <wx/string.h>

#include <functional>

class wxWindow;

// One seam for every operator-facing message box and file dialog. The GUI
// installs handlers that show real dialogs; tests install handlers that read
// the request and answer without a modal loop.

struct MessageRequest
{
    wxString text;
    wxString caption;
    long style = 0; // wxOK, wxYES_NO, wxCENTRE, wxICON_QUESTION ... as for wxMessageBox
    wxWindow* parent = nullptr;
};

struct FileRequest
{
    wxString title;
    wxString directory;
    wxString defaultFile;
    wxString filter;
    long style = 0;
    wxWindow* parent = nullptr;
};

struct TextRequest
{
    wxString text;    // the question
    wxString caption;
    wxString value;   // offered as the answer
    wxWindow* parent = nullptr;
};

// Answers as wxMessageBox does: wxOK, wxYES, wxNO or wxCANCEL.
using MessageHandler = std::function<int(const MessageRequest&)>;
// The chosen full path, or empty when the operator cancelled.
using FileHandler = std::function<wxString(const FileRequest&)>;
// True with the entered text in answer; false when the operator cancelled.
using TextHandler = std::function<bool(const TextRequest&, wxString& answer)>;

// Each returns the handler it replaces.
MessageHandler SetMessageHandler(MessageHandler handler);
FileHandler SetFileHandler(FileHandler handler);
TextHandler SetTextHandler(TextHandler handler);

// Shows a message box through the installed handler; GUI thread only.
int ShowMessage(const wxString& text, const wxString& caption = "Message",
                long style = wxOK | wxCENTRE, wxWindow* parent = nullptr);

// Shows a file-open dialog through the installed handler; GUI thread only.
wxString ChooseFile(const FileRequest& request);

// Asks for one line of text through the installed handler; GUI thread only.
// False when cancelled (or when nobody can answer).
bool AskText(const TextRequest& request, wxString& answer);
