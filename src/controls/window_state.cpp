#include "controls/window_state.h"

#include <stdlib.h>
#include <string.h>

void* createWindowState(HWND window, size_t size) {
    void* state = calloc(1, size);
    if (state) SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)state);
    return state;
}

void* windowState(HWND window) {
    return (void*)GetWindowLongPtrA(window, GWLP_USERDATA);
}

void destroyWindowState(HWND window) {
    free(windowState(window));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

int replaceText(char** slot, const char* text) {
    if (!text) return 0;
    size_t length = strlen(text);
    char* copy = (char*)malloc(length + 1);
    if (!copy) return 0;
    memcpy(copy, text, length + 1);
    free(*slot);
    *slot = copy;
    return 1;
}

int positionInside(LPARAM position, int width, int height) {
    unsigned x = LOWORD(position);
    unsigned y = HIWORD(position);
    return width > 0 && height > 0 && x < (unsigned)width && y < (unsigned)height;
}

void repaint(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
}

void releaseCaptureIfHeld(HWND window) {
    if (GetCapture() == window) ReleaseCapture();
}

int cursorOverWindow(HWND window) {
    POINT cursor;
    if (!GetCursorPos(&cursor)) return 0;
    return WindowFromPoint(cursor) == window;
}
