#include "controls/progress_bar.h"

#include <string.h>

#include "controls/window_state.h"
#include "raster/pixel_bar.h"
#include "raster/pixel_buffer.h"

const char kProgressBoyClassName[] = "ProgressBoy_WndClass";

namespace {

struct ProgressBoyState {
    PixelBuffer* buffer;   // the bar's image, owned; null while the size is empty
    BITMAPINFO info;       // describes buffer for SetDIBitsToDevice
    PixelBuffer* shading;  // owned copy, or null
    int cap;
    PixelColor startColour;
    PixelColor endColour;
    PixelColor borderColour;
    PixelColor backgroundColour;
    int border;
    int width;
    int height;
    int minimum;
    int maximum;
    int position;
};

ProgressBoyState* stateOf(HWND window) {
    return (ProgressBoyState*)windowState(window);
}

// The filled share of the bar. The differences are taken in 64 bits so that
// no range, however wide, overflows.
float fractionOf(const ProgressBoyState* s) {
    long long span = (long long)s->maximum - s->minimum;
    long long done = (long long)s->position - s->minimum;
    if (span == 0) return done > 0 ? 1.0f : 0.0f;
    float fraction = (float)((double)done / (double)span);
    if (fraction > 1.0f) return 1.0f;
    if (fraction < 0.0f) return 0.0f;
    return fraction;
}

void present(HDC dc, const ProgressBoyState* s) {
    if (!s->buffer) return;
    SetDIBitsToDevice(dc, 0, 0, s->width, s->height, 0, 0, 0, s->height, s->buffer->pixels,
                      &s->info, DIB_RGB_COLORS);
}

// Rebuilds the image and copies it to the window at once, without waiting
// for a paint. Allocates nothing: the worker's position updates come here.
void redraw(HWND window, ProgressBoyState* s) {
    if (!s->buffer) return;
    PixelBarFill(s->buffer, s->shading, &s->startColour, &s->endColour, &s->backgroundColour,
                 s->border ? &s->borderColour : nullptr, fractionOf(s), s->cap);
    HDC dc = GetDC(window);
    if (!dc) return;
    present(dc, s);
    ReleaseDC(window, dc);
}

void resize(HWND window, ProgressBoyState* s, int width, int height) {
    DestroyPixelBuffer(s->buffer);
    s->width = width;
    s->height = height;
    s->info.bmiHeader.biWidth = width;
    s->info.bmiHeader.biHeight = -height;
    s->buffer = CreatePixelBuffer(width, height, 32, 1);
    redraw(window, s);
}

LRESULT onCreate(HWND window, const CREATESTRUCTA* create) {
    ProgressBoyState* s = (ProgressBoyState*)createWindowState(window, sizeof(ProgressBoyState));
    if (!s) return -1;
    BITMAPINFOHEADER* header = &s->info.bmiHeader;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = BI_RGB;
    s->startColour = MakeColor(0, 40, 128);
    s->endColour = MakeColor(0, 80, 255);
    s->borderColour = MakeColor(255, 255, 255);
    s->backgroundColour = MakeColor(255, 255, 255);
    s->maximum = 100;
    s->position = 50;
    resize(window, s, create->cx, create->cy);
    return 0;
}

LRESULT onDestroy(HWND window, ProgressBoyState* s) {
    DestroyPixelBuffer(s->buffer);
    DestroyPixelBuffer(s->shading);
    destroyWindowState(window);
    return 0;
}

LRESULT onPaint(HWND window, ProgressBoyState* s) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) present(dc, s);
    EndPaint(window, &paint);
    return 0;
}

// The shading image is copied; a copy that cannot be made leaves the bar
// without shading rather than with a stale one. The old copy is freed.
LRESULT onSetShading(ProgressBoyState* s, const PixelBuffer* shading, int cap) {
    DestroyPixelBuffer(s->shading);
    s->shading = nullptr;
    s->cap = cap;
    if (!shading || shading->bitsPerPixel != 32) return 0;
    s->shading = CopyPixelBuffer(shading);
    return s->shading ? 1 : 0;
}

}  // namespace

int RegisterProgressBoyClass(HINSTANCE instance) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ProgressBoyProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kProgressBoyClassName;
    return RegisterClassExA(&wc) ? 1 : 0;
}

LRESULT CALLBACK ProgressBoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return onCreate(window, (const CREATESTRUCTA*)lParam);
    ProgressBoyState* s = stateOf(window);
    if (!s) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: return onDestroy(window, s);
    case WM_SIZE: resize(window, s, LOWORD(lParam), (short)HIWORD(lParam)); return 0;
    case WM_PAINT: return onPaint(window, s);
    case WM_ERASEBKGND: return 0;
    case PBB_SETRANGE:
        s->minimum = (int)wParam;
        s->maximum = (int)lParam;
        redraw(window, s);
        return 1;
    case PBB_SETPOS:
        s->position = (int)wParam;
        redraw(window, s);
        return 1;
    case PBB_SETCOLORS: {
        const PixelColor* colours = (const PixelColor*)lParam;
        if (!colours) return 0;
        s->startColour = colours[0];
        s->endColour = colours[1];
        s->borderColour = colours[2];
        s->backgroundColour = colours[3];
        return 1;
    }
    case PBB_SETSHADING: return onSetShading(s, (const PixelBuffer*)wParam, (int)lParam);
    case PBB_SETBORDER: s->border = (int)wParam; return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
