#pragma once

#include <wx/string.h>

#include <functional>

// Help files and web links open asynchronously in the desktop's default
// handlers; nothing waits for them or checks their outcome. Tests replace the
// launcher to see what would have been opened.
enum class LaunchKind
{
    Document, // a local file, by the desktop's default application
    WebPage,  // an address, by the default browser
};

using LaunchHandler = std::function<void(LaunchKind kind, const wxString& target)>;

LaunchHandler SetLaunchHandler(LaunchHandler handler); // returns the previous one
void LaunchDocument(const wxString& path);
void LaunchWebPage(const wxString& url);
