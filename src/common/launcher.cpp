#include "common/launcher.h"

#include <wx/utils.h>

#include <utility>

namespace
{
LaunchHandler& CurrentHandler()
{
    static LaunchHandler handler = [](LaunchKind kind, const wxString& target)
    {
        if (kind == LaunchKind::Document)
            wxLaunchDefaultApplication(target);
        else
            wxLaunchDefaultBrowser(target);
    };
    return handler;
}
} // namespace

LaunchHandler SetLaunchHandler(LaunchHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

void LaunchDocument(const wxString& path)
{
    CurrentHandler()(LaunchKind::Document, path);
}

void LaunchWebPage(const wxString& url)
{
    CurrentHandler()(LaunchKind::WebPage, url);
}
