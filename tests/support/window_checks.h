#pragma once

#include <string>
#include <vector>

class wxWindow;

// Checks over a whole window as the operator sees it. Neither enters windows
// of their own (dialogs, floating frames), hidden controls, nor the insides of
// list controls.

// Every shown control under root, at any depth, lies whole inside its
// parent's client area and is at least as large as it asks to be (a sizer
// that runs out of room pushes controls past the edge or squeezes them).
// Returns one line per control that breaks this, naming it and both
// rectangles; empty when every control shows whole.
std::vector<std::string> ClippedControls(wxWindow* root);

// The texts an operator reads on root, in creation order, joined by "|": the
// title of a top-level window; a frame's menus (each label, then its help
// when it has one) and tools (short, then long help); each control's label,
// a choice's items, a report list's column headers (or, without a header,
// its row labels).
std::string VisibleTexts(wxWindow* root);
