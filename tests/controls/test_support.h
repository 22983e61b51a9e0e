// Shared fixtures of the controls' tests: a recording parent window, message
// pumping, pixel read-back of what a control painted, and import-table hooks
// that count heap calls and record shell calls made from this program.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <stdint.h>
#include <string>
#include <vector>

// Registers the three control classes (once per process) and the parent class.
void registerClassesOnce();

// What the parent window received: WM_COMMAND and NAV_TAB, in order.
struct ParentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
extern std::vector<ParentMessage> parentMessages;

// A visible top-level test window at a fixed place, active and in front.
HWND createParent(int width, int height);

// A child control of class at (x, y) with the given id and caption.
HWND createChild(HWND parent, const char* className, const char* caption, int id, int x, int y,
                 int width, int height);

// Handles every queued message (posted notifications arrive here).
void pumpMessages();

// Sends a mouse message with client position (x, y) (may be negative).
LRESULT sendMouse(HWND window, UINT message, int x, int y);

// The client area of a window as it is on screen: 0x00RRGGBB per pixel.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
    // Number of pixels of colour inside (x0, y0)..(x1, y1), ends excluded.
    int count(uint32_t colour, int x0, int y0, int x1, int y1) const;
    int count(uint32_t colour) const { return count(colour, 0, 0, width, height); }
};

// Bounding box of the pixels of colour at least inset pixels inside the edges.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};
Box boxOf(const Capture& image, uint32_t colour, int inset);

// Paints what is pending, then copies the client area from the window's DC.
Capture captureClient(HWND window);

// A COLORREF (or a system colour) as 0x00RRGGBB.
uint32_t rgbOf(COLORREF colour);
uint32_t sysRgb(int index);

// A square icon of side pixels filled with one opaque colour (0x00RRGGBB).
HICON makeSolidIcon(int side, uint32_t rgb);

// Replaces the import of function from dll in this program's import table.
// Returns the previous address, or null when the import is not found.
void* patchImport(const char* dll, const char* function, void* replacement);

// Creates a child of className while every calloc fails (null expected).
HWND createChildWithoutMemory(HWND parent, const char* className);

// Counts every malloc, calloc, realloc and HeapAlloc call made through this
// program's imports (the controls and the raster library are linked in, so
// every allocation on their paths is seen), and every free.
struct HeapCounter {
    long allocations = 0;
    long frees = 0;
};
extern HeapCounter heapCounter;
void installHeapCounter();  // idempotent

// Records ShellExecuteA calls instead of starting anything.
struct ShellCall {
    std::string verb;
    std::string file;
    int show;
};
extern std::vector<ShellCall> shellCalls;
void installShellRecorder();  // idempotent

// A recording stand-in for the visual-style library, installed into the
// process-wide table: DrawThemeBackground fills its rectangle with
// fakeStateRgb(state), DrawThemeParentBackground with kFakeParentRgb.
struct FakeTheme {
    bool active = true;
    std::vector<std::wstring> opened;
    std::vector<HTHEME> closed;
    std::vector<int> backgroundStates;
    std::vector<int> textStates;
    std::vector<std::wstring> texts;
    int parentBackgrounds = 0;
};
extern FakeTheme fakeTheme;
const uint32_t kFakeParentRgb = 0x00FF00;
uint32_t fakeStateRgb(int state);
void installFakeVisualStyles();  // resets fakeTheme; visualStylesLoaded = 1
void useClassicDrawing();        // no library: table zeroed, visualStylesLoaded = 0

// The fixture of the controls' tests: classic drawing and a test window that
// are there for each test and gone after it.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        useClassicDrawing();
        parent = createParent(300, 100);
    }
    void TearDown() override {
        DestroyWindow(parent);
        pumpMessages();
        useClassicDrawing();
    }
    // A child of the test window with the default GUI font.
    HWND createControl(const char* className, const char* caption, int id, int x, int y, int width, int height) {
        HWND control = createChild(parent, className, caption, id, x, y, width, height);
        SendMessageA(control, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 1);
        pumpMessages();
        return control;
    }
    HWND parent = nullptr;
};
