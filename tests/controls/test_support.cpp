#include "controls/test_support.h"

#include <shellapi.h>

#include <algorithm>

#include "controls/button.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "controls/visual_styles.h"

std::vector<ParentMessage> parentMessages;
HeapCounter heapCounter;
std::vector<ShellCall> shellCalls;

static const char kParentClass[] = "HalvControlsTestParent";

static LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == NAV_TAB) parentMessages.push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerClassesOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterButtonBoyClass(instance);
    RegisterProgressBoyClass(instance);
    RegisterLinkClass();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = parentProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kParentClass;
    RegisterClassExA(&wc);
}

HWND createParent(int width, int height) {
    registerClassesOnce();
    parentMessages.clear();
    HWND parent = CreateWindowExA(0, kParentClass, "controls test", WS_POPUP | WS_VISIBLE, 40, 40,
                                  width, height, nullptr, nullptr, GetModuleHandleA(nullptr),
                                  nullptr);
    SetForegroundWindow(parent);
    SetActiveWindow(parent);
    pumpMessages();
    return parent;
}

HWND createChild(HWND parent, const char* className, const char* caption, int id, int x, int y,
                 int width, int height) {
    return CreateWindowExA(0, className, caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, width,
                           height, parent, (HMENU)(INT_PTR)id, GetModuleHandleA(nullptr), nullptr);
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT sendMouse(HWND window, UINT message, int x, int y) {
    return SendMessageA(window, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON,
                        MAKELPARAM((WORD)(short)x, (WORD)(short)y));
}

int Capture::count(uint32_t colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += at(x, y) == colour;
    return n;
}

Box boxOf(const Capture& image, uint32_t colour, int inset) {
    Box box;
    for (int y = inset; y < image.height - inset; ++y)
        for (int x = inset; x < image.width - inset; ++x)
            if (image.at(x, y) == colour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

Capture captureClient(HWND window) {
    UpdateWindow(window);
    GdiFlush();
    Capture capture;
    RECT client;
    GetClientRect(window, &client);
    capture.width = client.right;
    capture.height = client.bottom;
    if (capture.width <= 0 || capture.height <= 0) return capture;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.width, capture.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* words = (const uint32_t*)bits;
    capture.pixels.assign(words, words + (size_t)capture.width * capture.height);
    for (uint32_t& p : capture.pixels) p &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return capture;
}

uint32_t rgbOf(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

uint32_t sysRgb(int index) {
    return rgbOf(GetSysColor(index));
}

HICON makeSolidIcon(int side, uint32_t rgb) {
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, side, side);
    HBITMAP mask = CreateBitmap(side, side, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, colour);
    HBRUSH brush = CreateSolidBrush(RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
    RECT all = {0, 0, side, side};
    FillRect(dc, &all, brush);
    SelectObject(dc, mask);
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));  // black mask = opaque
    SelectObject(dc, old);
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(brush);
    DeleteDC(dc);
    DeleteObject(colour);
    DeleteObject(mask);
    ReleaseDC(nullptr, screen);
    return icon;
}

void* patchImport(const char* dll, const char* function, void* replacement) {
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* import = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress);
    for (; import->Name; ++import) {
        if (lstrcmpiA((const char*)(base + import->Name), dll)) continue;
        auto* names = (IMAGE_THUNK_DATA*)(base + import->OriginalFirstThunk);
        auto* addresses = (IMAGE_THUNK_DATA*)(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (strcmp((const char*)byName->Name, function)) continue;
            DWORD protection;
            VirtualProtect(&addresses->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            void* previous = (void*)addresses->u1.Function;
            addresses->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&addresses->u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

static void* (*realMalloc)(size_t);
static void* (*realCalloc)(size_t, size_t);
static void* (*realRealloc)(void*, size_t);
static void (*realFree)(void*);
static LPVOID(WINAPI* realHeapAlloc)(HANDLE, DWORD, SIZE_T);

static void* countingMalloc(size_t size) {
    ++heapCounter.allocations;
    return realMalloc(size);
}
static void* countingCalloc(size_t count, size_t size) {
    ++heapCounter.allocations;
    return realCalloc(count, size);
}
static void* countingRealloc(void* block, size_t size) {
    ++heapCounter.allocations;
    return realRealloc(block, size);
}
static void countingFree(void* block) {
    if (block) ++heapCounter.frees;
    realFree(block);
}
static LPVOID WINAPI countingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    ++heapCounter.allocations;
    return realHeapAlloc(heap, flags, size);
}

static void* failingCalloc(size_t, size_t) {
    return nullptr;
}

HWND createChildWithoutMemory(HWND parent, const char* className) {
    void* real = patchImport("msvcrt.dll", "calloc", (void*)failingCalloc);
    if (!real) return (HWND)1;  // not patched: fail the caller's check
    HWND window = createChild(parent, className, "No", 2, 0, 0, 50, 20);
    patchImport("msvcrt.dll", "calloc", real);
    return window;
}

template <typename Function>
static void patch(const char* dll, const char* name, Function replacement, Function* real) {
    *real = (Function)patchImport(dll, name, (void*)replacement);
}

void installHeapCounter() {
    if (realMalloc) return;
    patch("msvcrt.dll", "malloc", countingMalloc, &realMalloc);
    patch("msvcrt.dll", "calloc", countingCalloc, &realCalloc);
    patch("msvcrt.dll", "realloc", countingRealloc, &realRealloc);
    patch("msvcrt.dll", "free", countingFree, &realFree);
    patch("kernel32.dll", "HeapAlloc", countingHeapAlloc, &realHeapAlloc);
}

static HINSTANCE WINAPI recordingShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR,
                                              INT show) {
    shellCalls.push_back({verb ? verb : "", file ? file : "", show});
    return (HINSTANCE)42;
}

void installShellRecorder() {
    static bool done = false;
    if (done) return;
    done = patchImport("shell32.dll", "ShellExecuteA", (void*)recordingShellExecute) != nullptr;
}

FakeTheme fakeTheme;
static int fakeThemeHandle;

uint32_t fakeStateRgb(int state) {
    return (uint32_t)(0x20 * state) << 16 | 0x8040;
}

static void fillRgb(HDC dc, const RECT* rect, uint32_t rgb) {
    HBRUSH brush = CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 255, rgb & 255));
    FillRect(dc, rect, brush);
    DeleteObject(brush);
}

static BOOL WINAPI fakeIsThemeActive() { return fakeTheme.active; }
static HTHEME WINAPI fakeOpenThemeData(HWND, LPCWSTR classList) {
    fakeTheme.opened.push_back(classList);
    return (HTHEME)(INT_PTR)++fakeThemeHandle;
}
static HRESULT WINAPI fakeCloseThemeData(HTHEME theme) {
    fakeTheme.closed.push_back(theme);
    return S_OK;
}
static HRESULT WINAPI fakeDrawThemeBackground(HTHEME, HDC dc, int part, int state, const RECT* rect, const RECT*) {
    if (part == 1) fakeTheme.backgroundStates.push_back(state);
    fillRgb(dc, rect, fakeStateRgb(state));
    return S_OK;
}
static HRESULT WINAPI fakeDrawThemeParentBackground(HWND, HDC dc, const RECT* rect) {
    ++fakeTheme.parentBackgrounds;
    fillRgb(dc, rect, kFakeParentRgb);
    return S_OK;
}
static HRESULT WINAPI fakeDrawThemeText(HTHEME, HDC, int, int state, LPCWSTR text, int count, DWORD, DWORD,
                                        const RECT*) {
    fakeTheme.textStates.push_back(state);
    fakeTheme.texts.push_back(std::wstring(text, count));
    return S_OK;
}

void installFakeVisualStyles() {
    fakeTheme = FakeTheme();
    fakeThemeHandle = 0;
    visualStyleTable = VisualStyleTable();
    visualStyleTable.IsThemeActive = fakeIsThemeActive;
    visualStyleTable.OpenThemeData = fakeOpenThemeData;
    visualStyleTable.CloseThemeData = fakeCloseThemeData;
    visualStyleTable.DrawThemeBackground = fakeDrawThemeBackground;
    visualStyleTable.DrawThemeParentBackground = fakeDrawThemeParentBackground;
    visualStyleTable.DrawThemeText = fakeDrawThemeText;
    visualStylesLoaded = 1;
}

void useClassicDrawing() {
    visualStyleTable = VisualStyleTable();
    visualStylesLoaded = 0;
}
