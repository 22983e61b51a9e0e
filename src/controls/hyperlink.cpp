#include "controls/hyperlink.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "controls/visual_styles.h"
#include "controls/window_state.h"

const char kLinkClassName[] = "HalvLink_Wnd";

namespace {

struct LinkState {
    char* caption;  // owned, or null
    char* target;   // owned, or null
    int width;
    int height;
    COLORREF normalColour;
    COLORREF hoverColour;
    HFONT font;     // not owned; null = the context's default font
    int pressed;
    int hot;
    int focused;
    LPARAM lastMouse;  // low 16 bits x, high 16 bits y
    HTHEME theme;
    COLORREF backgroundColour;
    int solidBackground;
    VisualStyleTable* styleTable;
};

LinkState* stateOf(HWND window) {
    return (LinkState*)windowState(window);
}

void showHandCursor() {
    HCURSOR hand = LoadCursorA(nullptr, (LPCSTR)IDC_HAND);
    if (GetCursor() != hand) SetCursor(hand);
}

void activate(HWND window, LinkState* s) {
    s->hot = 0;
    s->focused = 0;
    repaint(window);
    // Nothing is shown when the shell cannot open the target.
    if (s->target) ShellExecuteA(nullptr, "open", s->target, nullptr, nullptr, SW_SHOWNORMAL);
}

// Whether position repeats the last one seen; a coordinate of 0x8000 or more
// never counts as a repeat.
int samePosition(LPARAM position, LPARAM last) {
    if (LOWORD(last) >= 0x8000 || HIWORD(last) >= 0x8000) return 0;
    return LOWORD(position) == LOWORD(last) && HIWORD(position) == HIWORD(last);
}

LRESULT onMouseMove(HWND window, LinkState* s, LPARAM position) {
    if (samePosition(position, s->lastMouse)) return 0;
    showHandCursor();
    if (positionInside(position, s->width, s->height)) {
        if (GetCapture() != window) SetCapture(window);
        s->hot = 1;
        repaint(window);
    } else if (s->hot) {
        s->hot = 0;
        repaint(window);
        if (!s->pressed) releaseCaptureIfHeld(window);
    }
    s->lastMouse = position;
    return 0;
}

LRESULT onButtonDown(HWND window, LinkState* s, LPARAM position) {
    if (!positionInside(position, s->width, s->height)) return 0;
    showHandCursor();
    SetFocus(window);
    SetCapture(window);
    s->pressed = 1;
    repaint(window);
    return 0;
}

LRESULT onButtonUp(HWND window, LinkState* s, LPARAM position) {
    if (!s->pressed) return 0;
    s->pressed = 0;
    releaseCaptureIfHeld(window);
    if (positionInside(position, s->width, s->height)) activate(window, s);
    return 0;
}

LRESULT onKeyDown(HWND window, LinkState* s, WPARAM key) {
    if (key != VK_RETURN && key != VK_SPACE) return 0;
    releaseCaptureIfHeld(window);
    activate(window, s);
    return 0;
}

LRESULT onKillFocus(HWND window, LinkState* s) {
    releaseCaptureIfHeld(window);
    if (!cursorOverWindow(window)) s->hot = 0;
    s->focused = 0;
    s->pressed = 0;
    repaint(window);
    return 0;
}

void drawBackground(HWND window, HDC dc, const LinkState* s, const RECT* rect) {
    if (s->solidBackground) {
        HBRUSH brush = CreateSolidBrush(s->backgroundColour);
        if (brush) {
            FillRect(dc, rect, brush);
            DeleteObject(brush);
        }
    } else if (s->theme) {
        s->styleTable->DrawThemeParentBackground(window, dc, rect);
    } else {
        FillRect(dc, rect, (HBRUSH)(COLOR_BTNFACE + 1));
    }
}

void drawLink(HWND window, HDC dc, const LinkState* s) {
    RECT rect = {0, 0, s->width, s->height};
    drawBackground(window, dc, s, &rect);
    if (s->caption) {
        HGDIOBJ previousFont = s->font ? SelectObject(dc, s->font) : nullptr;
        int length = (int)strlen(s->caption);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, 3, 3, s->caption, length);
        SetTextColor(dc, s->hot ? s->hoverColour : s->normalColour);
        TextOutA(dc, 2, 2, s->caption, length);
        if (previousFont) SelectObject(dc, previousFont);
    }
    if (s->focused) DrawFocusRect(dc, &rect);
}

LRESULT onPaint(HWND window, LinkState* s) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc && s->width > 0 && s->height > 0) {
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, s->width, s->height) : nullptr;
        if (bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            drawLink(window, memory, s);
            BitBlt(dc, 0, 0, s->width, s->height, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteObject(bitmap);
        }
        if (memory) DeleteDC(memory);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT onCreate(HWND window, const CREATESTRUCTA* create) {
    LinkState* s = (LinkState*)createWindowState(window, sizeof(LinkState));
    if (!s) return -1;
    if (create->lpszName) replaceText(&s->caption, create->lpszName);
    s->width = create->cx;
    s->height = create->cy;
    s->normalColour = kLinkNormalColour;
    s->hoverColour = kLinkHoverColour;
    if (VisualStylesActive(&s->styleTable))
        s->theme = s->styleTable->OpenThemeData(window, L"BUTTON");
    return 0;
}

LRESULT onDestroy(HWND window, LinkState* s) {
    free(s->caption);
    free(s->target);
    if (s->theme && s->styleTable) s->styleTable->CloseThemeData(s->theme);
    destroyWindowState(window);
    return 0;
}

LRESULT onThemeChanged(HWND window, LinkState* s) {
    ReopenButtonTheme(window, &s->styleTable, &s->theme);
    repaint(window);
    return 0;
}

LRESULT onStyleChanged(LinkState* s, WPARAM which, const STYLESTRUCT* style) {
    if ((int)which == GWL_STYLE && style && !(style->styleNew & WS_VISIBLE)) {
        s->pressed = 0;
        s->hot = 0;
        s->focused = 0;
    }
    return 0;
}

LRESULT onPrivate(HWND window, LinkState* s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case HLM_SETCOLORS:
        s->normalColour = (COLORREF)wParam;
        s->hoverColour = (COLORREF)lParam;
        repaint(window);
        break;
    case HLM_SETLINK:
        replaceText(&s->caption, (const char*)wParam);
        replaceText(&s->target, (const char*)lParam);
        repaint(window);
        break;
    case HLM_SETBACKGROUND:
        s->solidBackground = wParam != 0;
        s->backgroundColour = (COLORREF)lParam;
        break;
    }
    return 0;
}

}  // namespace

int RegisterLinkClass() {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = LinkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = kLinkClassName;
    return RegisterClassExA(&wc) ? 1 : 0;
}

LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return onCreate(window, (const CREATESTRUCTA*)lParam);
    LinkState* s = stateOf(window);
    if (!s) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: return onDestroy(window, s);
    case WM_SIZE: s->width = LOWORD(lParam); s->height = HIWORD(lParam); return 0;
    case WM_SETFOCUS: s->focused = 1; repaint(window); return 0;
    case WM_KILLFOCUS: return onKillFocus(window, s);
    case WM_ENABLE:
        if (!wParam) {
            s->focused = 0;
            s->hot = 0;
        }
        repaint(window);
        return 0;
    case WM_SETTEXT:
        // As for the button: the window's own copy stays the caption.
        if (!replaceText(&s->caption, (const char*)lParam)) return 0;
        repaint(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT: return onPaint(window, s);
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT:
        s->font = (HFONT)wParam;
        if (LOWORD(lParam)) repaint(window);
        return 0;
    case WM_STYLECHANGED: return onStyleChanged(s, wParam, (const STYLESTRUCT*)lParam);
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN: return onKeyDown(window, s, wParam);
    case WM_MOUSEMOVE: return onMouseMove(window, s, lParam);
    case WM_LBUTTONDOWN: return onButtonDown(window, s, lParam);
    case WM_LBUTTONUP: return onButtonUp(window, s, lParam);
    case WM_CAPTURECHANGED: s->pressed = 0; repaint(window); return 0;
    case WM_THEMECHANGED: return onThemeChanged(window, s);
    case HLM_SETCOLORS: case HLM_SETLINK: case HLM_SETBACKGROUND:
        return onPrivate(window, s, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
