#include "common/prompt_gui.h"

#include "common/prompt.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

void InstallGuiPrompts()
{
    SetMessageHandler([](const MessageRequest& r)
                      { return wxMessageBox(r.text, r.caption, r.style, r.parent); });
    SetFileHandler(
        [](const FileRequest& r)
        {
            wxFileDialog dialog(r.parent, r.title, r.directory, r.defaultFile, r.filter,
                                r.style ? r.style : long(wxFD_OPEN));
            return dialog.ShowModal() == wxID_OK ? dialog.GetPath() : wxString();
        });
    SetTextHandler(
        [](const TextRequest& r, wxString& answer)
        {
            wxTextEntryDialog dialog(r.parent, r.text, r.caption, r.value);
            if (dialog.ShowModal() != wxID_OK)
                return false;
            answer = dialog.GetValue();
            return true;
        });
}
