// The credits frame and its link: the frame passes the link's clicks and
// colours on to the window; the link looks and answers like a link (blue,
// hand cursor, tool tip, Enter and Space while it has the focus).
#pragma once

#include <windows.h>

namespace credits {

// Hooks the frame and the link, and gives the link its tool tip. Returns the
// tool tip window, owned by owner.
HWND AttachLink(HWND owner, HWND frame, HWND link, const wchar_t* tool_tip);
// The tool tip's text in place of the one it has.
void SetLinkTip(HWND tip, HWND frame, HWND link, const wchar_t* tool_tip);

// The link's colour on its background: blue where it reads, else the
// system's link colour, else its button text colour.
COLORREF LinkColour(COLORREF background);

// True when the cursor asked for is over the link: then the hand is set.
bool SetLinkCursor(HWND over, HWND link);

}  // namespace credits
