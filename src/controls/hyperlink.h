// The installer's one-line text link, window class "HalvLink_Wnd". It shows
// its caption in a link colour that changes while the mouse is over it, shows
// a hand cursor, can take the keyboard focus, and opens its target with the
// shell ("open" through ShellExecuteA) on a click or on Enter or Space.
//
// Threads: the window procedure runs on the thread that created the window
// (the main thread). Memory: the control keeps its own copies of the caption
// and the target; a font it is given stays the sender's.
#pragma once

#include <windows.h>

// Results: 0.
enum LinkMessage {
    HLM_SETCOLORS = 1025,      // wParam normal COLORREF, lParam hover COLORREF; repaints
    HLM_SETLINK = 1026,        // wParam caption, lParam target (8-bit strings, copied); a null
                               // one keeps its old value; repaints
    HLM_SETBACKGROUND = 1027,  // wParam non-zero = fill with the COLORREF in lParam instead of
                               // the parent's background; shown from the next paint on
};

// The defaults: pure blue, and violet-blue while the mouse is over the link.
enum : COLORREF {
    kLinkNormalColour = 0x00FF0000,
    kLinkHoverColour = 0x00FF00BB,
};

extern const char kLinkClassName[];  // "HalvLink_Wnd"

// Registers the class for this program's module. Returns 1, or 0 when
// RegisterClassExA fails (nothing is shown to the user).
int RegisterLinkClass();

// The window procedure; exposed so that tests and the gallery can call it.
LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
