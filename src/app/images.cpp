#include "app/images.h"

#include "common/ids.h"

#include "amain_png.h"
#include "splash_png.h"
#include "tool_action_png.h"
#include "tool_chart_png.h"
#include "tool_database_png.h"
#include "tool_quit_png.h"
#include "tool_site_png.h"

#include <wx/image.h>
#include <wx/mstream.h>

namespace
{
wxBitmap FromPng(const unsigned char* data, size_t size)
{
    RegisterImageHandlers();
    wxMemoryInputStream stream(data, size);
    return wxBitmap(wxImage(stream, wxBITMAP_TYPE_PNG));
}
} // namespace

void RegisterImageHandlers()
{
    // Registering twice only adds duplicates (and debug noise).
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxInitAllImageHandlers();
}

wxBitmap SplashBitmap()
{
    return FromPng(splash_png, sizeof splash_png);
}

wxIcon AppIcon()
{
    wxIcon icon;
    icon.CopyFromBitmap(FromPng(amain_png, sizeof amain_png));
    return icon;
}

wxBitmap ToolBitmap(int toolId)
{
    switch (toolId)
    {
    case CorvaneId::ToolQuit:
        return FromPng(tool_quit_png, sizeof tool_quit_png);
    case CorvaneId::ToolSite:
        return FromPng(tool_site_png, sizeof tool_site_png);
    case CorvaneId::ToolAction:
        return FromPng(tool_action_png, sizeof tool_action_png);
    case CorvaneId::ToolChart:
        return FromPng(tool_chart_png, sizeof tool_chart_png);
    case CorvaneId::ToolDatabase:
        return FromPng(tool_database_png, sizeof tool_database_png);
    default:
        return wxNullBitmap;
    }
}
