// Access to the system's visual styles ("uxtheme.dll"), looked up at run time
// so that the installer still loads on systems without the library (Windows
// 2000). Owns the process-wide VisualStyleTable and the visualStylesLoaded flag.
//
// Threads: LoadVisualStyles runs once on the main thread at start-up, before
// any control exists; afterwards the table is only read, by the window
// procedures of the button and the hyperlink. The library stays loaded until
// the process ends; nothing here is freed.
#pragma once

#include <windows.h>
#include <uxtheme.h>

typedef BOOL(WINAPI* IsThemeActiveFn)();
typedef BOOL(WINAPI* IsThemeBackgroundPartiallyTransparentFn)(HTHEME theme, int part, int state);
typedef HTHEME(WINAPI* OpenThemeDataFn)(HWND window, LPCWSTR classList);
typedef BOOL(WINAPI* IsAppThemedFn)();
typedef HRESULT(WINAPI* CloseThemeDataFn)(HTHEME theme);
typedef HRESULT(WINAPI* DrawThemeBackgroundFn)(HTHEME theme, HDC dc, int part, int state,
                                               const RECT* rect, const RECT* clip);
typedef HRESULT(WINAPI* DrawThemeBackgroundExFn)(HTHEME theme, HDC dc, int part, int state,
                                                 const RECT* rect, const DTBGOPTS* options);
typedef HRESULT(WINAPI* DrawThemeParentBackgroundFn)(HWND window, HDC dc, const RECT* rect);
typedef HRESULT(WINAPI* DrawThemeTextFn)(HTHEME theme, HDC dc, int part, int state,
                                         LPCWSTR text, int count, DWORD flags, DWORD flags2,
                                         const RECT* rect);
typedef HRESULT(WINAPI* GetThemeBackgroundContentRectFn)(HTHEME theme, HDC dc, int part,
                                                         int state, const RECT* bounds,
                                                         RECT* content);

// The library's entry points; a name the library lacks leaves its field null.
// The controls call only OpenThemeData, CloseThemeData, DrawThemeBackground,
// DrawThemeParentBackground and DrawThemeText (and ask IsThemeActive).
struct VisualStyleTable {
    HMODULE module;
    IsThemeActiveFn IsThemeActive;
    IsThemeBackgroundPartiallyTransparentFn IsThemeBackgroundPartiallyTransparent;
    OpenThemeDataFn OpenThemeData;
    IsAppThemedFn IsAppThemed;
    CloseThemeDataFn CloseThemeData;
    DrawThemeBackgroundFn DrawThemeBackground;
    DrawThemeBackgroundExFn DrawThemeBackgroundEx;
    DrawThemeParentBackgroundFn DrawThemeParentBackground;
    DrawThemeTextFn DrawThemeText;
    GetThemeBackgroundContentRectFn GetThemeBackgroundContentRect;
};

// The process-wide table and flag. Zero until LoadVisualStyles runs; tests
// may fill them directly (a fake table) to drive the themed drawing.
extern VisualStyleTable visualStyleTable;
extern int visualStylesLoaded;

// 1 when GetVersionExA reports a major version of 5 or more, else 0.
int OsMajorVersionAtLeast5();

// Clears the table, then, on version 5 or later, loads "uxtheme.dll" from
// the system directory (loadSystemLibrary) and
// looks up its entry points. visualStylesLoaded ends 1 only when the library
// was loaded and has IsThemeActive and all five entry points the controls
// call; a library lacking any of them counts as no visual styles at all.
void LoadVisualStyles();

// 1 when table holds IsThemeActive and the five entry points the controls call.
int VisualStyleTableComplete(const VisualStyleTable* table);

// Whether a control should draw themed now. When the library is loaded and
// complete, *table receives the process-wide table and the result is 1 exactly
// when IsThemeActive answers non-zero (so a control told 0 may still use the
// table to close a theme it opened earlier). Otherwise *table receives null
// and the result is 0. table may be null when only the answer is wanted.
int VisualStylesActive(VisualStyleTable** table);

// A control's theme after the system's visual style may have changed: closes
// the theme it held and, while styles are active, opens the "BUTTON" theme
// again. *table and *theme are the control's own fields.
void ReopenButtonTheme(HWND window, VisualStyleTable** table, HTHEME* theme);
