// Small pieces shared by the custom controls' window procedures: the per-window
// state record hung on the window's user data, owned caption copies, and the
// mouse and capture tests that the button and the hyperlink both make.
//
// Threads: the thread that owns the window. Memory: the record and the text
// copies come from the C heap; destroyWindowState and replaceText free them.
#pragma once

#include <windows.h>
#include <stddef.h>

// Makes a zeroed record of size bytes and stores its address in the window's
// user data. Returns the record, or null when memory ran out (nothing stored).
void* createWindowState(HWND window, size_t size);

// The record stored by createWindowState, or null before creation and after
// destruction.
void* windowState(HWND window);

// Frees the record and clears the user data.
void destroyWindowState(HWND window);

// Replaces *slot by a heap copy of text (the old copy is freed). Returns 1, or
// 0 when text is null or memory ran out (*slot is then unchanged).
int replaceText(char** slot, const char* text);

// Whether a mouse position (lParam of a mouse message) lies in a client area
// of width x height. The coordinates are taken as unsigned 16-bit values, so a
// position left of or above the window counts as outside.
int positionInside(LPARAM position, int width, int height);

// InvalidateRect of the whole client area.
void repaint(HWND window);

// ReleaseCapture when window holds the mouse capture.
void releaseCaptureIfHeld(HWND window);

// Whether the cursor is over window itself (not over another window on top).
int cursorOverWindow(HWND window);
