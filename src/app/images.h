#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

// Images compiled into the program.
void RegisterImageHandlers(); // all image handlers, once
wxBitmap SplashBitmap(); // 272 x 101, also shown by the About box
wxIcon AppIcon();        // the window icon "amain"
wxBitmap ToolBitmap(int toolId); // 16 x 16 images of tools 313, 314, 316, 317, 318
