#pragma once

class wxDialog;
class wxWindow;

// Sizes a window laid out by its sizer so that every control shows whole
// under whatever theme the desktop runs: the size it was created with (its
// designed size) is kept unless the sizer needs more, and then grows to that.
// A dialog keeps the result as its smallest size. A panel may be made smaller,
// down to what its controls need, since it shares the main window with
// others. Call once the controls are in place, instead of Layout().
void GrowToFit(wxWindow* window);

// A modeless dialog that destroys itself when the operator dismisses it (OK,
// Escape, the close box) instead of hiding, so that opening it again and
// again leaves nothing behind.
void DestroyWhenDismissed(wxDialog* dialog);
