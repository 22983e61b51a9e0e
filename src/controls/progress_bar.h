// The installer's own progress bar, window class "ProgressBoy_WndClass": a
// horizontal bar filled from the left with a two-colour gradient on a
// background colour, optionally inside a one-pixel border, with an optional
// shading image laid over the filled part.
//
// Threads: the window procedure runs on the thread that created the window
// (the main thread). Other threads only post PBB_SETPOS to it. A position or
// range change rebuilds the image and copies it to the window at once, without
// allocating; only a size change allocates. Memory: the
// control owns its image and its copy of the shading image; both are freed
// when the window is destroyed. Senders keep what they pass.
#pragma once

#include <windows.h>

// Messages of this class. The numbers overlap those of the other custom
// controls: a number's meaning depends on the receiving window's class.
// Results: 1 when handled, 0 for PBB_SETCOLORS with a null array and for
// PBB_SETSHADING when the image was dropped, is not 32 bits per pixel or could
// not be copied (the bar then has no shading).
enum ProgressBoyMessage {
    PBB_SETRANGE = 1025,    // wParam minimum, lParam maximum; redraws at once
    PBB_SETPOS = 1026,      // wParam position (may lie outside the range); redraws at once
    PBB_SETCOLORS = 1027,   // lParam: const PixelColor[4] = start, end, border, background;
                            // shown from the next redraw on
    PBB_SETSHADING = 1029,  // wParam: const PixelBuffer* (32 bits per pixel, copied; the
                            // earlier copy is freed) or null to drop it, lParam: cap width of
                            // its left and right slices; shown from the next redraw on
    PBB_SETBORDER = 1030,   // wParam 1 = draw a one-pixel border; shown from the next redraw on
};

extern const char kProgressBoyClassName[];  // "ProgressBoy_WndClass"

// Registers the class for instance. Returns 1, or 0 when RegisterClassExA
// fails (nothing is shown to the user).
int RegisterProgressBoyClass(HINSTANCE instance);

// The window procedure; exposed so that tests and the gallery can call it.
LRESULT CALLBACK ProgressBoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
