// The installer's own controls, each created in a test window under Wine and
// driven by messages: what reaches the parent and what the shell is asked to
// open (how they look, check_gallery compares pixel for pixel). Also the
// focus order, the visual-style table and the control table.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "controls/button.h"
#include "controls/focus_nav.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "controls/visual_styles.h"
#include "support/windows.h"
#include "wizard/control_table.h"

namespace {

std::vector<UINT> parentMessages;  // WM_COMMAND and NAV_TAB, as the parent received them
std::vector<WPARAM> clickWords;
std::vector<std::string> opened;  // ShellExecuteA calls: verb, file and show, recorded instead of made

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == NAV_TAB) parentMessages.push_back(message), clickWords.push_back(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE WINAPI recordShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT show) {
    opened.push_back(std::string(verb) + " " + file + " " + std::to_string(show));
    return (HINSTANCE)42;
}

// Replaces this program's import of function from dll; returns the previous address.
void* patchImport(const char* dll, const char* function, void* replacement) {
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* import = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports); import->Name; ++import) {
        if (lstrcmpiA((const char*)(base + import->Name), dll)) continue;
        auto* names = (IMAGE_THUNK_DATA*)(base + import->OriginalFirstThunk);
        for (auto* slot = (IMAGE_THUNK_DATA*)(base + import->FirstThunk); names->u1.AddressOfData; ++names, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                strcmp((const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, function))
                continue;
            DWORD protection;
            VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            void* previous = (void*)slot->u1.Function;
            slot->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slot->u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// A stand-in for the visual-style library, whose entry points are never drawn with here.
// Named: on 32-bit Windows these are __stdcall, which a lambda is not.
bool themeActive;
BOOL WINAPI fakeIsThemeActive() { return themeActive; }
HTHEME WINAPI fakeOpenThemeData(HWND, LPCWSTR) { return (HTHEME)1; }
HRESULT WINAPI fakeCloseThemeData(HTHEME) { return S_OK; }
HRESULT WINAPI fakeDrawThemeBackground(HTHEME, HDC, int, int, const RECT*, const RECT*) { return S_OK; }
HRESULT WINAPI fakeDrawThemeParentBackground(HWND, HDC, const RECT*) { return S_OK; }
HRESULT WINAPI fakeDrawThemeText(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*) { return S_OK; }
BOOL WINAPI versionFour(LPOSVERSIONINFOA info) { return info->dwMajorVersion = 4, TRUE; }

void installFakeVisualStyles() {
    themeActive = true;
    visualStyleTable = {nullptr, fakeIsThemeActive, nullptr, fakeOpenThemeData, nullptr, fakeCloseThemeData,
                        fakeDrawThemeBackground, nullptr, fakeDrawThemeParentBackground, fakeDrawThemeText, nullptr};
    visualStylesLoaded = 1;
}

// Columns 1 to 100 of row 6 that are not the bar's white background.
int filledColumns(HWND bar) {
    UpdateWindow(bar);
    HDC dc = GetDC(bar);
    int n = 0;
    for (int x = 1; x <= 100; ++x) n += GetPixel(dc, x, 6) != RGB(255, 255, 255);
    ReleaseDC(bar, dc);
    return n;
}

LRESULT mouse(HWND window, UINT message, int x, int y) {
    return SendMessageA(window, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM((WORD)(short)x, (WORD)(short)y));
}

void press(HWND window, int x = 10, int y = 10) {  // pressed at (10, 10), then moved to (x, y)
    mouse(window, WM_MOUSEMOVE, 10, 10);
    mouse(window, WM_LBUTTONDOWN, 10, 10);
    mouse(window, WM_MOUSEMOVE, x, y);
}

int clicks() {
    test_windows::pause(0);
    return (int)std::count(parentMessages.begin(), parentMessages.end(), (UINT)WM_COMMAND);
}

// Classic drawing, a visible and active test window, and the controls' classes.
class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            RegisterButtonBoyClass(GetModuleHandleA(nullptr));
            RegisterProgressBoyClass(GetModuleHandleA(nullptr));
            RegisterLinkClass();
            WNDCLASSA parentClass = {0, parentProc, 0, 0, GetModuleHandleA(nullptr), 0, 0, (HBRUSH)(COLOR_BTNFACE + 1), 0, "TestParent"};
            RegisterClassA(&parentClass);
            patchImport("shell32.dll", "ShellExecuteA", (void*)recordShellExecute);
            registered = true;
        }
        visualStyleTable = VisualStyleTable();
        visualStylesLoaded = 0;
        parentMessages.clear();
        clickWords.clear();
        opened.clear();
        parent = CreateWindowExA(0, "TestParent", "", WS_POPUP | WS_VISIBLE, 40, 40, 400, 200, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(parent);
        test_windows::pause(0);
    }
    void TearDown() override {
        DestroyWindow(parent);
        test_windows::pause(0);
        visualStylesLoaded = 0;
    }
    HWND child(const char* className, const char* caption, int id, int x, int y, int width, int height) {
        HWND window = CreateWindowExA(0, className, caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, width, height,
                                      parent, (HMENU)(INT_PTR)id, nullptr, nullptr);
        SendMessageA(window, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 1);
        return window;
    }
    HWND parent;
};

TEST_F(Controls, AButtonClicksOnceForAReleaseInsideOrEnterOrSpaceAndTellsItsParentAboutTab) {
    HWND button = child(kButtonBoyClassName, "Next", 0x12345, 20, 20, 120, 30);
    press(button);
    EXPECT_TRUE(GetCapture() == button && GetFocus() == button);
    mouse(button, WM_LBUTTONUP, 10, 10);
    EXPECT_TRUE(parentMessages.empty()) << "posted, not sent";
    ASSERT_EQ(clicks(), 1);
    EXPECT_EQ(clickWords[0], (WPARAM)MAKEWPARAM(0x2345, BN_CLICKED)) << "the low 16 bits of the id";
    press(button, -3, 10);  // dragged out to the left: the capture stays while pressed
    EXPECT_EQ(GetCapture(), button);
    mouse(button, WM_LBUTTONUP, -3, 10);
    for (WPARAM key : {(WPARAM)VK_SPACE, (WPARAM)VK_RETURN, (WPARAM)'A'}) SendMessageA(button, WM_KEYDOWN, key, 0);
    EXPECT_EQ(clicks(), 3);
    SendMessageA(button, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(parentMessages.back(), (UINT)NAV_TAB);
    press(button);  // hidden by its style: the press is forgotten
    SetWindowLongPtrA(button, GWL_STYLE, GetWindowLongPtrA(button, GWL_STYLE) & ~WS_VISIBLE);
    mouse(button, WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(clicks(), 3);
    EXPECT_EQ(SendMessageA(button, BBM_SETTOGGLE, 1, 0), 1);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 0) << "a toggle flips its latch";
    EXPECT_EQ(SendMessageA(button, BBM_SETLATCH, 2, 0), -1);
}

TEST_F(Controls, NoWindowWithoutItsStateAndAFailedRegistrationSaysSo) {
    void* calloc = patchImport("msvcrt.dll", "calloc", (void*)+[](size_t, size_t) -> void* { return nullptr; });
    for (const char* className : {kButtonBoyClassName, kProgressBoyClassName, kLinkClassName})
        EXPECT_EQ(child(className, "No", 2, 0, 0, 50, 20), nullptr) << className;
    patchImport("msvcrt.dll", "calloc", calloc);
    std::thread answerer([] {
        test_windows::Dialog box = test_windows::waitForMessageBox(GetCurrentProcessId(), 10000);
        EXPECT_EQ(box.caption + ": " + box.text, "Fatal Error: ButtonBoy class creation failed.");
        test_windows::answer(box, IDOK);
    });
    EXPECT_EQ(RegisterButtonBoyClass(GetModuleHandleA(nullptr)), -1);  // registered already
    answerer.join();
}

// What the gallery cannot show: the share of every kind of range.
TEST_F(Controls, AProgressBarFillsItsShareOfAnyRange) {
    HWND bar = child(kProgressBoyClassName, "", 7, 10, 10, 102, 12);
    SendMessageA(bar, PBB_SETBORDER, 1, 0);
    for (auto [minimum, maximum, position, columns] : {std::tuple<int, int, int, int>{0, 100, 25, 25}, {0, 100, 50, 51},
                                                       {0, 100, -5, 0}, {0, 100, 250, 100}, {10, 10, 10, 0}, {10, 10, 11, 100},
                                                       {INT_MIN, INT_MAX, INT_MIN, 0}, {INT_MIN, INT_MAX, INT_MAX, 100}}) {
        SendMessageA(bar, PBB_SETRANGE, (WPARAM)(INT_PTR)minimum, maximum);
        SendMessageA(bar, PBB_SETPOS, position, 0);
        EXPECT_EQ(filledColumns(bar), columns) << minimum << ".." << maximum << " at " << position;
    }
}

TEST_F(Controls, ALinkOpensItsTargetOncePerClickOrKey) {
    HWND link = child(kLinkClassName, "Halvorsine", 24, 10, 10, 160, 20);
    SendMessageA(link, HLM_SETLINK, 0, (LPARAM) "https://example.invalid/");
    for (auto [x, y] : {std::pair<int, int>{170, 5}, {5, 20}}) {  // released outside
        press(link, x, y);
        mouse(link, WM_LBUTTONUP, x, y);
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_NE(GetCapture(), link);
    press(link, 5, 5);
    mouse(link, WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(GetFocus(), link);
    for (WPARAM key : {(WPARAM)VK_RETURN, (WPARAM)VK_SPACE, (WPARAM)VK_TAB}) SendMessageA(link, WM_KEYDOWN, key, 0);
    EXPECT_EQ(opened, std::vector<std::string>(3, "open https://example.invalid/ " + std::to_string(SW_SHOWNORMAL)));
    SendMessageA(child(kLinkClassName, "No target", 25, 10, 40, 160, 20), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(opened.size(), 3u) << "without a target nothing opens";
}

// A window laid out like the wizard, enrolled in this order: two buttons, a
// text box, a button inside a panel, an option and the link.
TEST_F(Controls, TabAndArrowsWalkTheFocusOrderSkippingWhatCannotTakeTheFocus) {
    HWND panel = child("STATIC", "", 0, 220, 10, 100, 40), left = child(kButtonBoyClassName, "x", 3, 10, 160, 80, 20),
         right = child(kButtonBoyClassName, "x", 3, 100, 160, 80, 20), edit = child("EDIT", "x", 3, 10, 10, 80, 20),
         browse = CreateWindowExA(0, kButtonBoyClassName, "x", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, panel, 0, 0, 0),
         option = child("BUTTON", "x", 3, 120, 60, 80, 20), link = child(kLinkClassName, "x", 3, 200, 160, 80, 20);
    ASSERT_EQ(addFocusGroup(0), 1);
    for (HWND w : {left, right, edit, browse, option, link}) ASSERT_EQ(enrolFocus(w), 1);
    auto key = [](WPARAM virtualKey) { return SendMessageA(GetFocus(), WM_KEYDOWN, virtualKey, 0), GetFocus(); };
    SetFocus(left);
    for (HWND expected : {right, edit, browse, option, link, left}) EXPECT_EQ(key(VK_TAB), expected);
    EXPECT_EQ(key(VK_RIGHT), right);
    EXPECT_EQ(key(VK_DOWN), edit);
    EXPECT_EQ(key(VK_LEFT), edit) << "Left and Right move the caret in a text box";
    EXPECT_EQ(key(VK_UP), right);
    ShowWindow(edit, SW_HIDE);
    EnableWindow(panel, FALSE);  // the button inside stays enabled itself
    EXPECT_EQ(key(VK_TAB), option);
    EXPECT_EQ(addFocusGroup(0), 0) << "keys are unique";
    EXPECT_EQ(addFocusGroup(3), 1);
    HWND extra = child(kButtonBoyClassName, "Extra", 30, 300, 60, 60, 25);
    ASSERT_EQ(addFocusMember(3, extra), 1);
    EXPECT_EQ(nextFocusTarget(link, 1), extra);
    DestroyWindow(extra);
    EXPECT_EQ(nextFocusTarget(link, 1), left) << "a destroyed window leaves the order";
    EXPECT_EQ(removeFocusGroups(), 1);
    SetFocus(right);
    EXPECT_EQ(key(VK_TAB), right) << "no focus order any more";
}

TEST_F(Controls, VisualStylesNeedACompleteTableAStyleSwitchedOnAndAModernSystem) {
    for (int missing = 0; missing < 6; ++missing) {
        installFakeVisualStyles();
        VisualStyleTable& t = visualStyleTable;
        void** slots[] = {(void**)&t.OpenThemeData, (void**)&t.CloseThemeData, (void**)&t.DrawThemeBackground,
                          (void**)&t.DrawThemeParentBackground, (void**)&t.DrawThemeText, (void**)&t.IsThemeActive};
        *slots[missing] = nullptr;
        VisualStyleTable* table = &visualStyleTable;
        EXPECT_TRUE(VisualStylesActive(&table) == 0 && table == nullptr) << missing;
    }
    installFakeVisualStyles();
    themeActive = false;
    VisualStyleTable* table = nullptr;
    EXPECT_TRUE(VisualStylesActive(&table) == 0 && table == &visualStyleTable) << "switched off: the table is there";
    void* version = patchImport("kernel32.dll", "GetVersionExA", (void*)versionFour);
    installFakeVisualStyles();
    LoadVisualStyles();
    patchImport("kernel32.dll", "GetVersionExA", version);
    EXPECT_EQ(visualStylesLoaded, 0) << "before Windows 2000";
}

TEST(ControlTable, IdsSharingABucketAreFoundApartAndARefusalChangesNothing) {
    initControlTable(GetModuleHandleA(nullptr));
    for (int id : {49, 0, 1, 50}) ASSERT_EQ(addControl(id % 2, id, 0, WS_CHILD, "STATIC", "t", 0, 0, 9, 9, nullptr), 1);
    for (int id : {0, 1, 49, 50}) EXPECT_EQ(findControl(id)->id, id);
    EXPECT_EQ(addControl(3, 1, 0, WS_CHILD, "EDIT", "again", 0, 0, 9, 9, nullptr), 0);
    EXPECT_EQ(addControl(-1, 8, 0, WS_CHILD, "STATIC", "t", 0, 0, 9, 9, nullptr), 0);
    EXPECT_TRUE(findGroup(3) == nullptr && findControl(8) == nullptr && !strcmp(findControl(1)->className, "STATIC"));
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 90, 90, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(createGroupWindows(1, parent), 1);
    auto shown = [] { return (GetWindowLongA(getControlWindow(49), GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_TRUE(!shown() && showGroup(1) && shown() && hideGroup(1) && !shown());
    EXPECT_EQ(getControlWindow(0), nullptr) << "group 0 was not created";
    DestroyWindow(parent);
}

}  // namespace
