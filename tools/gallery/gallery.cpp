// Shows every custom control in every state, themed and classic side by side,
// for a screenshot. Not part of the installer.
//
// gallery [seconds]: closes itself after that many seconds (default: stays
// until closed). Prints the window's rectangle on the screen to stdout, so
// that a script can crop a screenshot to it.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "controls/button.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "controls/visual_styles.h"
#include "raster/pixel_buffer.h"

namespace {

HINSTANCE instance;
HFONT font;
HICON icon;
int nextId = 100;

HWND child(HWND parent, const char* className, const char* text, int x, int y, int w, int h) {
    HWND window = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                                  (HMENU)(INT_PTR)nextId++, instance, nullptr);
    SendMessageA(window, WM_SETFONT, (WPARAM)font, 1);
    return window;
}

void label(HWND parent, const char* text, int x, int y, int w) {
    child(parent, "STATIC", text, x, y, w, 16);
}

void hover(HWND control) {
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
}

// One column of buttons in every state; states that need the mouse are set
// by the messages the mouse would send.
void buttonColumn(HWND parent, int x, const char* title, int skin, HWND* pressed, HWND* focused) {
    label(parent, title, x, 8, 150);
    const char* names[] = {"Normal", "Hot", "Pressed", "Focused", "Disabled", "Latched",
                           "Flat", "With icon", "Icon, disabled"};
    HWND b[9];
    for (int i = 0; i < 9; ++i) {
        b[i] = child(parent, kButtonBoyClassName, names[i], x, 28 + i * 32, 130, 26);
        SendMessageA(b[i], BBM_SETSKIN, skin, 0);
    }
    hover(b[1]);
    *pressed = b[2];
    *focused = b[3];
    EnableWindow(b[4], FALSE);
    SendMessageA(b[5], BBM_SETTOGGLE, 1, 0);
    SendMessageA(b[5], BBM_SETLATCH, 0, 0);
    SendMessageA(b[6], BBM_SETFLAT, 1, 0);
    for (int i = 7; i < 9; ++i) {
        SendMessageA(b[i], BBM_SETICON, (WPARAM)icon, MAKELPARAM(16, 16));
        SendMessageA(b[i], BBM_SHOWICON, 1, 0);
    }
    EnableWindow(b[8], FALSE);
}

PixelBuffer* makeShading() {
    PixelBuffer* shading = CreatePixelBuffer(12, 16, 32, 1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 12; ++x) {
            uint8_t* p = shading->pixels + y * shading->stride + x * 4;
            p[0] = (uint8_t)(y < 8 ? 200 - y * 9 : 96 + y * 2);  // light top, darker bottom
            p[1] = p[2] = 0;
            p[3] = 255;
        }
    return shading;
}

void progressColumn(HWND parent, int x) {
    label(parent, "Progress bar", x, 8, 200);
    const PixelColor colours[4] = {MakeColor(0, 0, 255), MakeColor(128, 128, 255),
                                   MakeColor(0, 0, 0), MakeColor(255, 255, 255)};
    const int positions[] = {0, 35, 100};
    for (int i = 0; i < 3; ++i) {
        HWND bar = child(parent, kProgressBoyClassName, "", x, 28 + i * 32, 200, 16);
        SendMessageA(bar, PBB_SETBORDER, 1, 0);
        SendMessageA(bar, PBB_SETRANGE, 0, 100);
        SendMessageA(bar, PBB_SETCOLORS, 0, (LPARAM)colours);
        SendMessageA(bar, PBB_SETPOS, positions[i], 0);
    }
    child(parent, kProgressBoyClassName, "", x, 124, 200, 16);  // defaults: 50 of 0..100
    HWND shaded = child(parent, kProgressBoyClassName, "", x, 156, 200, 16);
    PixelBuffer* shading = makeShading();
    SendMessageA(shaded, PBB_SETSHADING, (WPARAM)shading, 3);
    DestroyPixelBuffer(shading);
    SendMessageA(shaded, PBB_SETPOS, 70, 0);
}

void linkColumn(HWND parent, int x, HWND* focusedLink) {
    label(parent, "Hyperlink", x, 196, 200);
    const char* names[] = {"Normal link", "Hot link", "Focused link"};
    HWND links[3];
    for (int i = 0; i < 3; ++i) {
        links[i] = child(parent, kLinkClassName, names[i], x, 216 + i * 26, 200, 20);
        SendMessageA(links[i], HLM_SETLINK, 0, (LPARAM) "https://example.invalid/");
    }
    hover(links[1]);
    *focusedLink = links[2];
}

LRESULT CALLBACK galleryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) DestroyWindow(window);
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createGallery() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = galleryProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "HalvControlsGallery";
    RegisterClassExA(&wc);
    RECT frame = {0, 0, 760, 320};
    AdjustWindowRect(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE);
    return CreateWindowExA(0, wc.lpszClassName, "Controls gallery",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 20, 20,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           instance, nullptr);
}

void hold(HWND* held, int* count, HWND control) {
    for (int i = 0; i < *count; ++i) ValidateRect(held[i], nullptr);
    UpdateWindow(control);
    held[(*count)++] = control;
}

void fill(HWND gallery) {
    HWND pressed[3], focused[3], focusedLink;
    buttonColumn(gallery, 10, "Button, themed", 0, &pressed[0], &focused[0]);
    int themes = visualStylesLoaded;
    visualStylesLoaded = 0;  // the next controls open no theme: classic drawing
    buttonColumn(gallery, 160, "Button, classic", 0, &pressed[1], &focused[1]);
    buttonColumn(gallery, 310, "Button, raster skin", 1, &pressed[2], &focused[2]);
    progressColumn(gallery, 480);
    linkColumn(gallery, 480, &focusedLink);
    visualStylesLoaded = themes;
    // Focus and press belong to one control at a time: each control is
    // painted in its state, and the repaint that the next one's gain would
    // cause it is cancelled, so the screen keeps every state side by side.
    HWND held[8];
    int count = 0;
    HWND order[] = {focusedLink, focused[0], focused[1], focused[2]};
    for (HWND control : order) {
        SetFocus(control);
        hold(held, &count, control);
    }
    for (HWND control : pressed) {
        hover(control);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        hold(held, &count, control);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE thisInstance, HINSTANCE, LPSTR commandLine, int) {
    instance = thisInstance;
    SetCursorPos(0, 0);
    LoadVisualStyles();
    RegisterButtonBoyClass(instance);
    RegisterProgressBoyClass(instance);
    RegisterLinkClass();
    font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    icon = LoadIconA(nullptr, (LPCSTR)IDI_INFORMATION);
    HWND gallery = createGallery();
    ShowWindow(gallery, SW_SHOW);
    fill(gallery);
    int seconds = atoi(commandLine);
    if (seconds > 0) SetTimer(gallery, 1, (UINT)seconds * 1000, nullptr);
    RECT rect;
    GetWindowRect(gallery, &rect);
    printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
