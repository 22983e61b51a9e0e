#include <gtest/gtest.h>

#include <string>

#include "controls/button.h"
#include "controls/test_support.h"
#include "controls/visual_styles.h"

namespace {

int probeExitCode() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string probe(path);
    probe = probe.substr(0, probe.find_last_of('\\') + 1) + "theme_probe.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(probe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = (DWORD)-1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

const char kThemeKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

// Sets the user's ThemeActive value, or deletes it when value is empty, and
// returns the value it had ("" when it was absent).
std::string swapThemeActiveValue(const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kThemeKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return "";
    char old[16] = "";
    DWORD size = sizeof old - 1;
    if (RegQueryValueExA(key, "ThemeActive", nullptr, nullptr, (BYTE*)old, &size) != ERROR_SUCCESS) old[0] = '\0';
    if (!value.empty())
        RegSetValueExA(key, "ThemeActive", 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    else
        RegDeleteValueA(key, "ThemeActive");
    RegCloseKey(key);
    return old;
}

Capture buttonImage(HWND parent) {
    HWND button = createChild(parent, kButtonBoyClassName, "Themed", 1, 10, 10, 100, 30);
    Capture image = captureClient(button);
    DestroyWindow(button);
    return image;
}

// Every use of the real library sits in this one test: the user's setting is
// changed in the shared registry for a moment, and no other test reads it.
TEST(VisualStyles, RealLibraryIsLoadedAndFollowsTheUsersSetting) {
    EXPECT_EQ(OsMajorVersionAtLeast5(), 1);  // the test prefix reports Windows XP
    LoadVisualStyles();
    ASSERT_EQ(visualStylesLoaded, 1);
    EXPECT_NE(visualStyleTable.module, nullptr);
    EXPECT_TRUE(VisualStyleTableComplete(&visualStyleTable));
    EXPECT_NE(visualStyleTable.IsAppThemed, nullptr);
    EXPECT_NE(visualStyleTable.DrawThemeBackgroundEx, nullptr);
    EXPECT_NE(visualStyleTable.IsThemeBackgroundPartiallyTransparent, nullptr);
    EXPECT_NE(visualStyleTable.GetThemeBackgroundContentRect, nullptr);
    VisualStyleTable* table = nullptr;
    ASSERT_EQ(VisualStylesActive(&table), 1);  // Wine's default theme is on
    EXPECT_EQ(table, &visualStyleTable);

    HWND parent = createParent(200, 60);
    Capture themed = buttonImage(parent);
    visualStylesLoaded = 0;
    Capture classic = buttonImage(parent);
    visualStylesLoaded = 1;
    DestroyWindow(parent);
    EXPECT_NE(themed.pixels, classic.pixels);

    EXPECT_EQ(probeExitCode(), 3);
    std::string saved = swapThemeActiveValue("0");
    int switchedOff = probeExitCode();
    swapThemeActiveValue(saved);
    EXPECT_EQ(switchedOff, 2);  // loaded, but styles are off
}

TEST(VisualStyles, OnlyACompleteTableWithStylesSwitchedOnCountsAsStyles) {
    // The five entry points the controls call, and the query itself.
    for (int missing = 0; missing < 6; ++missing) {
        installFakeVisualStyles();
        VisualStyleTable& t = visualStyleTable;
        void** slots[] = {(void**)&t.OpenThemeData, (void**)&t.CloseThemeData, (void**)&t.DrawThemeBackground,
                          (void**)&t.DrawThemeParentBackground, (void**)&t.DrawThemeText, (void**)&t.IsThemeActive};
        *slots[missing] = nullptr;
        VisualStyleTable* table = &visualStyleTable;
        EXPECT_EQ(VisualStylesActive(&table), 0) << missing;
        EXPECT_EQ(table, nullptr) << missing;
    }
    // Styles switched off still hand out the table; no library hands out none.
    installFakeVisualStyles();
    fakeTheme.active = false;
    VisualStyleTable* table = nullptr;
    EXPECT_EQ(VisualStylesActive(&table), 0);
    EXPECT_EQ(table, &visualStyleTable);
    useClassicDrawing();
    table = &visualStyleTable;
    EXPECT_EQ(VisualStylesActive(&table), 0);
    EXPECT_EQ(table, nullptr);
}

BOOL WINAPI versionFour(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    return TRUE;
}
HMODULE WINAPI noLibrary(LPCSTR) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

TEST(VisualStyles, OlderSystemOrMissingLibraryMeansClassicDrawing) {
    void* realVersion = patchImport("kernel32.dll", "GetVersionExA", (void*)versionFour);
    ASSERT_NE(realVersion, nullptr);
    installFakeVisualStyles();
    LoadVisualStyles();
    patchImport("kernel32.dll", "GetVersionExA", realVersion);
    EXPECT_EQ(OsMajorVersionAtLeast5(), 1);
    EXPECT_EQ(visualStylesLoaded, 0);
    EXPECT_EQ(visualStyleTable.OpenThemeData, nullptr);
    EXPECT_EQ(VisualStylesActive(nullptr), 0);

    void* realLoad = patchImport("kernel32.dll", "LoadLibraryA", (void*)noLibrary);
    ASSERT_NE(realLoad, nullptr);
    installFakeVisualStyles();
    LoadVisualStyles();
    patchImport("kernel32.dll", "LoadLibraryA", realLoad);
    EXPECT_EQ(visualStylesLoaded, 0);
    EXPECT_EQ(visualStyleTable.module, nullptr);
    VisualStyleTable* table = &visualStyleTable;
    EXPECT_EQ(VisualStylesActive(&table), 0);
    EXPECT_EQ(table, nullptr);
}

}  // namespace
