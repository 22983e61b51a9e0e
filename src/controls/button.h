// The installer's own push button, window class "ButtonBoy_Wnd". It draws
// itself completely off-screen (themed when visual styles are active, classic
// otherwise, or with the raster skin), tracks hover, press and focus through
// mouse capture, and reports a click to its parent as a posted WM_COMMAND with
// BN_CLICKED and the button's id, like a standard button.
//
// Threads: the window procedure runs on the thread that created the window
// (the main thread). Memory: the control keeps its own copy of the caption;
// icons and fonts it is given stay the sender's and must outlive the window.
#pragma once

#include <windows.h>

enum ButtonBoyMessage {
    BBM_SETICON = 1034,          // wParam HICON, lParam MAKELPARAM(width, height); ignored
                                 // unless both are non-zero. Result 1
    BBM_SHOWICON = 1035,         // wParam 1 = draw the icon left of the caption. Result 1
    BBM_SETTOGGLE = 1036,        // wParam 1 = latching button. Result 1
    BBM_SETFLAT = 1037,          // wParam 1 = flat frame, clicks do not take the focus. Result 1
    BBM_SETLATCH = 1038,         // wParam 0 (drawn pushed in) or 1. Result 1; -1 for any other value
    BBM_GETLATCH = 1039,         // Result: the latch, or -1 when the window has no state
    BBM_SETNOAUTOTOGGLE = 1040,  // wParam 1 = clicks leave the latch alone. Result 1, or -1
                                 // when the window has no state
    BBM_SETSKIN = 1041,          // wParam 1 = draw with the raster skin (no repaint). Result 0
};

// Messages between the controls and their parent window.
enum NavigationMessage {
    NAV_TAB = 7026,    // sent to the parent when the button sees the Tab key
    NAV_PROBE = 7027,  // answered 1 by the button; nothing else
};

extern const char kButtonBoyClassName[];  // "ButtonBoy_Wnd"

// Registers the class for instance. Returns 1; when RegisterClassExA fails it
// shows "ButtonBoy class creation failed." in a "Fatal Error" box and returns -1.
int RegisterButtonBoyClass(HINSTANCE instance);

// The window procedure; exposed so that tests and the gallery can call it.
LRESULT CALLBACK ButtonBoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
