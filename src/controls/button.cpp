#include "controls/button.h"

#include <stdlib.h>
#include <string.h>

#include "controls/visual_styles.h"
#include "controls/window_state.h"
#include "raster/pixel_rect.h"
#include "raster/pixel_surface.h"

const char kButtonBoyClassName[] = "ButtonBoy_Wnd";

namespace {

struct ButtonBoyState {
    char* text;
    int showIcon;
    int width;
    int height;
    int lineHeight;
    int iconWidth;
    int iconHeight;
    int controlId;  // low 16 bits of the window's id
    HICON icon;     // not owned
    HFONT font;     // not owned; null = the context's default font
    int pressed;
    int hot;
    int focused;
    int rasterSkin;
    int toggle;
    int noAutoToggle;
    int flat;
    int disabled;
    int latch;      // 0 is drawn pushed in
    HTHEME theme;
    VisualStyleTable* styleTable;
};

// Part and states of the themed push button.
const int kPushButtonPart = 1;
enum { kStateNormal = 1, kStateHot = 2, kStatePressed = 3, kStateDisabled = 4, kStateDefaulted = 5 };

// Themed captions are converted into a buffer of this many wide characters;
// longer captions are cut.
const int kThemedTextCapacity = 288;

ButtonBoyState* stateOf(HWND window) {
    return (ButtonBoyState*)windowState(window);
}

int measureLineHeight(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICA metrics;
    int height = GetTextMetricsA(dc, &metrics) ? metrics.tmHeight : 0;
    if (previous) SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return height;
}

void notifyClick(HWND window, ButtonBoyState* s) {
    if (s->toggle && !s->noAutoToggle) s->latch = !s->latch;
    repaint(window);
    PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(s->controlId, BN_CLICKED),
                 (LPARAM)window);
}

void openTheme(HWND window, ButtonBoyState* s) {
    if (VisualStylesActive(&s->styleTable))
        s->theme = s->styleTable->OpenThemeData(window, L"BUTTON");
}

// Where the caption (or a lone icon) starts, and the font selected for it.
struct Placement {
    int x;
    int y;
    int textWidth;
};

// Caption and icon placement shared by both looks; skinOffset is 1 for the
// raster skin, which sits one pixel up and left.
Placement placeContent(HDC dc, const ButtonBoyState* s, int skinOffset) {
    Placement p = {0, 0, 0};
    if (s->text) {
        SIZE extent = {0, 0};
        GetTextExtentPoint32A(dc, s->text, (int)strlen(s->text), &extent);
        p.textWidth = extent.cx;
        p.x = (s->width >> 1) - (extent.cx >> 1) - skinOffset;
        p.y = (s->height >> 1) - (s->lineHeight >> 1) - skinOffset;
    } else if (s->showIcon && s->icon) {
        p.x = (s->width >> 1) + 2 - skinOffset;
        p.y = (s->height >> 1) - skinOffset;
    }
    if (s->pressed && s->hot) {
        p.x += 1;
        p.y += 1;
    }
    return p;
}

int themeState(const ButtonBoyState* s, int pushed, int enabled) {
    if (pushed) return kStatePressed;
    if (s->hot) return kStateHot;
    if (!enabled) return kStateDisabled;
    if (s->focused) return kStateDefaulted;
    return kStateNormal;
}

void drawFrame(HWND window, HDC dc, const ButtonBoyState* s, int enabled) {
    int pushed = (s->pressed && s->hot) || (s->toggle && s->latch == 0);
    RECT rect = {0, 0, s->width, s->height};
    if (s->flat) {
        RECT edge = {-1, -1, s->width + 1, s->height + 1};
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        RECT face = {1, 1, s->width - 1, s->height - 1};
        FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
    } else if (s->theme) {
        s->styleTable->DrawThemeParentBackground(window, dc, &rect);
        s->styleTable->DrawThemeBackground(s->theme, dc, kPushButtonPart,
                                           themeState(s, pushed, enabled), &rect, nullptr);
    } else {
        UINT flags = 0;
        if (pushed) flags = s->focused ? DFCS_PUSHED | DFCS_FLAT : DFCS_PUSHED;
        if (s->focused) {
            FrameRect(dc, &rect, GetSysColorBrush(COLOR_3DDKSHADOW));
            SetRect(&rect, 1, 1, s->width - 1, s->height - 1);
        }
        DrawFrameControl(dc, &rect, DFC_BUTTON, flags | DFCS_BUTTONPUSH);
    }
}

void drawThemedCaption(HDC dc, const ButtonBoyState* s, int x, int y, int enabled) {
    WCHAR wide[kThemedTextCapacity];
    // One ANSI byte never makes more than one wide character, so a cut at
    // capacity - 1 bytes always fits.
    int bytes = 0;
    while (bytes < kThemedTextCapacity - 1 && s->text[bytes]) ++bytes;
    int count = MultiByteToWideChar(CP_ACP, 0, s->text, bytes, wide, kThemedTextCapacity - 1);
    wide[count] = L'\0';
    RECT rect = {x, y, s->width, y + s->lineHeight};
    s->styleTable->DrawThemeText(s->theme, dc, kPushButtonPart, enabled ? kStateNormal : kStateDisabled,
                                 wide, count, DT_VCENTER, 0, &rect);
}

void drawClassicCaption(HDC dc, const ButtonBoyState* s, int x, int y, int enabled) {
    int length = (int)strlen(s->text);
    if (enabled) {
        SetBkMode(dc, OPAQUE);
        TextOutA(dc, x, y, s->text, length);
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    TextOutA(dc, x + 1, y + 1, s->text, length);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    TextOutA(dc, x, y, s->text, length);
}

void drawStandard(HWND window, PixelSurface* surface, const ButtonBoyState* s, int enabled) {
    HDC dc = surface->memoryDc;
    drawFrame(window, dc, s, enabled);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ previousFont = s->font ? SelectObject(dc, s->font) : nullptr;
    Placement p = placeContent(dc, s, 0);
    if (s->showIcon && s->icon) {
        int sunk = s->pressed && s->hot;
        GdiFlush();  // the frame must be in the pixels before the icon is composed on them
        // The vertical centring uses the icon's width, as the wizard's icons are square.
        PixelDrawIcon(surface->buffer, enabled ? BlitAlpha : BlitGrayHalf,
                      p.x - s->iconWidth / 2 - 2, (s->height >> 1) - s->iconWidth / 2 + sunk,
                      s->iconWidth, s->iconHeight, s->icon);
        p.x += s->iconWidth / 2 + 2;
    }
    if (s->text) {
        if (s->theme)
            drawThemedCaption(dc, s, p.x, p.y, enabled);
        else
            drawClassicCaption(dc, s, p.x, p.y, enabled);
    }
    if (previousFont) SelectObject(dc, previousFont);
    if (s->focused) {
        RECT focus = {4, 4, s->width - 4, s->height - 4};
        DrawFocusRect(dc, &focus);
    }
}

struct SkinColours {
    int caption;
    int shadow;
    int face;
    int iconMode;
};

SkinColours skinColours(const ButtonBoyState* s) {
    if (s->disabled) return {COLOR_GRAYTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, BlitGrayHalf};
    if (s->hot && s->pressed)
        return {COLOR_HIGHLIGHTTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT, BlitAlpha};
    if (s->hot) return {COLOR_BTNTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT, BlitAlpha};
    return {COLOR_BTNTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, BlitFaded};
}

void drawSkin(PixelSurface* surface, const ButtonBoyState* s) {
    HDC dc = surface->memoryDc;
    SkinColours colours = skinColours(s);
    PixelColor window = ColorFromRef(GetSysColor(COLOR_WINDOW));
    PixelFillRect(surface->buffer, 0, 0, s->width, s->height, &window);
    PixelGlassFace(surface->buffer, GetSysColor(colours.face), 0, 0, s->width, s->height, 1);
    HGDIOBJ previousFont = s->font ? SelectObject(dc, s->font) : nullptr;
    Placement p = placeContent(dc, s, 1);
    SetBkMode(dc, TRANSPARENT);
    if (s->showIcon && s->icon) {
        int sunk = s->hot && s->pressed;
        PixelDrawIcon(surface->buffer, colours.iconMode, p.x - s->iconWidth / 2 - 3,
                      (s->height >> 1) - s->iconWidth / 2 + (s->height % 2) - 1 + sunk,
                      s->iconWidth, s->iconHeight, s->icon);
        p.x += s->iconWidth / 2 + 2;
    }
    if (s->text) {
        int length = (int)strlen(s->text);
        SetTextColor(dc, GetSysColor(colours.shadow));
        TextOutA(dc, p.x + 1, p.y + 1, s->text, length);
        SetTextColor(dc, GetSysColor(colours.caption));
        TextOutA(dc, p.x, p.y, s->text, length);
    }
    if (previousFont) SelectObject(dc, previousFont);
    GdiFlush();  // the caption must be in the pixels before the dotted frame is drawn on them
    if (s->focused)
        PixelDottedFrame(surface->buffer, GetSysColor(COLOR_BTNTEXT), 2, 2, s->width - 5,
                         s->height - 5, 0, 1, 1, 1, 1);
}

LRESULT onPaint(HWND window, ButtonBoyState* s) {
    int enabled = IsWindowEnabled(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PixelSurface surface;
    if (dc && CreatePixelSurface(dc, window, &surface, s->width, s->height, 32)) {
        if (s->rasterSkin) {
            drawSkin(&surface, s);
            PresentPixelSurface(dc, 0, 0, s->width, s->height, &surface);
        } else {
            drawStandard(window, &surface, s, enabled);
            BitBlt(dc, 0, 0, s->width, s->height, surface.memoryDc, 0, 0, SRCCOPY);
        }
        DestroyPixelSurface(&surface);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT onCreate(HWND window, const CREATESTRUCTA* create) {
    ButtonBoyState* s = (ButtonBoyState*)createWindowState(window, sizeof(ButtonBoyState));
    if (!s) return -1;
    if (create->lpszName) replaceText(&s->text, create->lpszName);
    s->width = create->cx;
    s->height = create->cy;
    s->controlId = LOWORD((UINT_PTR)create->hMenu);
    s->latch = 1;
    openTheme(window, s);
    return 0;
}

LRESULT onDestroy(HWND window, ButtonBoyState* s) {
    free(s->text);
    if (s->theme && s->styleTable) s->styleTable->CloseThemeData(s->theme);
    destroyWindowState(window);
    return 0;
}

LRESULT onSize(HWND window, ButtonBoyState* s, LPARAM size) {
    s->width = LOWORD(size);
    s->height = HIWORD(size);
    // Measured with the control's own font, so that a resized button keeps its
    // caption centred.
    s->lineHeight = measureLineHeight(window, s->font);
    return 0;
}

LRESULT onKillFocus(HWND window, ButtonBoyState* s, HWND gaining) {
    releaseCaptureIfHeld(window);
    if (!gaining) SetFocus(GetParent(window));
    if (!cursorOverWindow(window) || !IsWindowVisible(window)) s->hot = 0;
    s->focused = 0;
    s->pressed = 0;
    repaint(window);
    return 0;
}

LRESULT onEnable(HWND window, ButtonBoyState* s, int enabled) {
    if (!enabled) {
        s->focused = 0;
        s->hot = 0;
    }
    s->disabled = !enabled;
    repaint(window);
    return 1;
}

LRESULT onSetFont(HWND window, ButtonBoyState* s, HFONT font, LPARAM redraw) {
    s->font = font;
    s->lineHeight = measureLineHeight(window, font);
    if (LOWORD(redraw)) repaint(window);
    return 0;
}

// A hidden button forgets the mouse and the focus, so that it does not come
// back hot or pushed. SetWindowLong with the visible style sends
// WM_STYLECHANGED; ShowWindow sends only WM_SHOWWINDOW.
void forgetStates(ButtonBoyState* s) {
    s->pressed = 0;
    s->hot = 0;
    s->focused = 0;
}

LRESULT onStyleChanged(ButtonBoyState* s, WPARAM which, const STYLESTRUCT* style) {
    if ((int)which == GWL_STYLE && style && !(style->styleNew & WS_VISIBLE)) forgetStates(s);
    return 0;
}

LRESULT onKeyDown(HWND window, ButtonBoyState* s, WPARAM key) {
    if (key == VK_RETURN || key == VK_SPACE)
        notifyClick(window, s);
    else if (key == VK_TAB)
        SendMessageA(GetParent(window), NAV_TAB, 0, 0);
    return 0;
}

LRESULT onMouseMove(HWND window, ButtonBoyState* s, LPARAM position) {
    if (positionInside(position, s->width, s->height)) {
        // Holding the capture lets the button see the move that leaves it.
        if (GetCapture() != window) SetCapture(window);
        if (s->hot) return 0;
        s->hot = 1;
    } else {
        if (!s->hot) return 0;
        s->hot = 0;
        if (!s->pressed) releaseCaptureIfHeld(window);
    }
    repaint(window);
    return 0;
}

LRESULT onButtonDown(HWND window, ButtonBoyState* s, LPARAM position) {
    if (!positionInside(position, s->width, s->height)) return 0;
    if (!s->flat) SetFocus(window);
    SetCapture(window);
    s->pressed = 1;
    repaint(window);
    return 0;
}

LRESULT onButtonUp(HWND window, ButtonBoyState* s, LPARAM position) {
    if (!s->pressed) return 0;
    s->pressed = 0;
    releaseCaptureIfHeld(window);
    if (positionInside(position, s->width, s->height)) notifyClick(window, s);
    return 0;
}

LRESULT onThemeChanged(HWND window, ButtonBoyState* s) {
    ReopenButtonTheme(window, &s->styleTable, &s->theme);
    repaint(window);
    return 0;
}

LRESULT onSetLatch(HWND window, ButtonBoyState* s, WPARAM latch) {
    if (latch > 1) return -1;
    s->latch = (int)latch;
    repaint(window);
    return 1;
}

LRESULT onPrivate(HWND window, ButtonBoyState* s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case BBM_SETICON:
        if (wParam && lParam) {
            s->icon = (HICON)wParam;
            s->iconWidth = LOWORD(lParam);
            s->iconHeight = HIWORD(lParam);
        }
        return 1;
    case BBM_SHOWICON: s->showIcon = wParam == 1; return 1;
    case BBM_SETTOGGLE: s->toggle = wParam == 1; return 1;
    case BBM_SETFLAT: s->flat = wParam == 1; return 1;
    case BBM_SETLATCH: return onSetLatch(window, s, wParam);
    case BBM_GETLATCH: return s->latch;
    case BBM_SETNOAUTOTOGGLE: s->noAutoToggle = wParam == 1; return 1;
    case BBM_SETSKIN: s->rasterSkin = (int)wParam; return 0;
    }
    return 1;  // NAV_PROBE
}

}  // namespace

int RegisterButtonBoyClass(HINSTANCE instance) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ButtonBoyProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kButtonBoyClassName;
    if (RegisterClassExA(&wc)) return 1;
    MessageBoxA(nullptr, "ButtonBoy class creation failed.", "Fatal Error", MB_ICONHAND);
    return -1;
}

LRESULT CALLBACK ButtonBoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return onCreate(window, (const CREATESTRUCTA*)lParam);
    ButtonBoyState* s = stateOf(window);
    if (!s) {
        if (message == BBM_GETLATCH || message == BBM_SETNOAUTOTOGGLE) return -1;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_DESTROY: return onDestroy(window, s);
    case WM_SIZE: return onSize(window, s, lParam);
    case WM_SETFOCUS: s->focused = 1; repaint(window); return 0;
    case WM_KILLFOCUS: return onKillFocus(window, s, (HWND)wParam);
    case WM_ENABLE: return onEnable(window, s, (int)wParam);
    case WM_SETTEXT:
        // The window keeps its own copy too, so that GetWindowText and other
        // programs (accessibility tools, test drivers) read the caption.
        if (!replaceText(&s->text, (const char*)lParam)) return 0;
        repaint(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT: return onPaint(window, s);
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT: return onSetFont(window, s, (HFONT)wParam, lParam);
    case WM_STYLECHANGED: return onStyleChanged(s, wParam, (const STYLESTRUCT*)lParam);
    case WM_SHOWWINDOW:
        if (!wParam) {
            releaseCaptureIfHeld(window);
            forgetStates(s);
        }
        break;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN: return onKeyDown(window, s, wParam);
    case WM_MOUSEMOVE: return onMouseMove(window, s, lParam);
    case WM_LBUTTONDOWN: return onButtonDown(window, s, lParam);
    case WM_LBUTTONUP: return onButtonUp(window, s, lParam);
    case WM_CAPTURECHANGED: s->pressed = 0; repaint(window); return 0;
    case WM_THEMECHANGED: return onThemeChanged(window, s);
    case NAV_PROBE:
    case BBM_SETICON: case BBM_SHOWICON: case BBM_SETTOGGLE: case BBM_SETFLAT:
    case BBM_SETLATCH: case BBM_GETLATCH: case BBM_SETNOAUTOTOGGLE: case BBM_SETSKIN:
        return onPrivate(window, s, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
