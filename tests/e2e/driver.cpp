#include "driver.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace e2e {

int bound(int milliseconds) {
    static const double scale = std::getenv("HALV_E2E_WAIT_SCALE") ? std::atof(std::getenv("HALV_E2E_WAIT_SCALE")) : 1;
    return (int)(milliseconds * (scale > 0 ? scale : 1));
}

std::string e2eFolder(const char* name) {
    std::string path = "Z:" + std::string(std::getenv("HALV_E2E_ROOT") ? std::getenv("HALV_E2E_ROOT") : "") + "/" + name + "/";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Installer::Installer(const std::string& path) : ChildProcess(path, "\"" + path + "\"") {}

HWND Installer::waitForWindow(int timeoutMs) {
    test_windows::waitFor([&] { return (window_ = test_windows::findWindow(id(), "Halvorsine_Install_System")) != nullptr; },
                          bound(timeoutMs));
    if (window_) test_windows::pause(100), screenshot("window");  // after the first paint
    return window_;
}

Dialog Installer::waitForMessageBox(int timeoutMs) {
    Dialog box = test_windows::waitForMessageBox(id(), bound(timeoutMs));
    if (box.window) screenshot("message");
    if (!box.window) box.text = "<no message box>";
    return box;
}

void Installer::answer(const Dialog& box, int buttonId) { test_windows::answer(box, buttonId); }

HWND Installer::control(const char* className, int x, int y) const {
    HWND found = nullptr;
    for (HWND child = nullptr; (child = FindWindowExA(window_, child, className, nullptr)) != nullptr;) {
        RECT box;
        GetWindowRect(child, &box);
        POINT corner{box.left, box.top};
        ScreenToClient(window_, &corner);
        if (corner.x == x && corner.y == y && (found = child, IsWindowVisible(child))) break;  // a visible one wins
    }
    return found;
}

void Installer::click(HWND target) {
    RECT box;
    GetClientRect(target, &box);
    const LPARAM middle = MAKELPARAM(box.right / 2, box.bottom / 2);
    PostMessageA(target, WM_MOUSEMOVE, 0, middle);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(target, WM_LBUTTONUP, 0, middle);
    test_windows::pause(100);
}

void Installer::typeDestination(const std::string& folder) {
    test_windows::sendBounded(control("Edit", 196, 25), WM_SETTEXT, 0, (LPARAM)folder.c_str());
}

bool Installer::waitForButton(HWND target, const std::string& caption, int timeoutMs) {
    return test_windows::waitFor(
        [&] { return IsWindowEnabled(target) && IsWindowVisible(target) && text(target) == caption; }, bound(timeoutMs));
}

// "<scenario>-<step>-<what>.bmp": the pictures of the windows and messages a
// scenario went through, in order.
void Installer::screenshot(const char* what) {
    RECT box;
    if (!window_ || !GetWindowRect(window_, &box)) return;
    const int width = box.right - box.left, height = box.bottom - box.top;
    const DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, rowBytes * height, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof info.bmiHeader};
    file.bfSize = file.bfOffBits + rowBytes * height;
    CreateDirectoryA(e2eFolder("screenshots").c_str(), nullptr);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test ? test->name() : "run") + "-" + std::to_string(++steps_) + "-" + what;
    std::replace(name.begin(), name.end(), '/', '-');
    std::ofstream out(e2eFolder("screenshots") + name + ".bmp", std::ios::binary);
    out.write((const char*)&file, sizeof file);
    out.write((const char*)&info.bmiHeader, sizeof info.bmiHeader);
    out.write((const char*)bits, rowBytes * height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

namespace {
void removeProductTraces() {
    for (const std::string& key : kUninstallKey) test_windows::deleteKey(key);
    test_files::removeTree(test_windows::specialFolder(CSIDL_COMMON_PROGRAMS) + "\\E2E Full Product");
    DeleteFileA((test_windows::specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Full Tool.lnk").c_str());
}
}  // namespace

void Scenario::SetUp() {
    CreateDirectoryA("C:\\e2e", nullptr);
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    destination = "C:\\e2e\\" + name;
    test_files::removeTree(destination);
    removeProductTraces();
}

void Scenario::TearDown() {
    test_files::removeTree(destination);
    removeProductTraces();
}

void Scenario::startInstalling(Installer& run, bool licence) {
    ASSERT_TRUE(run.waitForWindow());
    if (licence) run.click(run.rightButton());
    ASSERT_EQ(run.text(run.rightButton()), "Install");
    run.typeDestination(dest());
    run.click(run.rightButton());
}

void Scenario::finishWithoutOptions(Installer& run) {
    ASSERT_TRUE(run.waitForButton(run.rightButton(), "Next"));
    run.click(run.rightButton());
    for (int i = 0; i < 5; ++i)
        if (HWND box = run.optionBox(i); box && IsWindowVisible(box)) test_windows::sendBounded(box, BM_CLICK, 0, 0);
    run.click(run.rightButton());
    EXPECT_EQ(run.waitForExit(), 0);
}

void expectRemoved(Installer& run, bool fatal) {
    if (fatal) {
        Dialog box = run.waitForMessageBox();
        EXPECT_EQ(box.text, "While attempting to install one or more files, a fatal error occured.\nSetup will now remove "
                            "any installed files and exit.");
        run.answer(box, IDOK);
    }
    Dialog done = run.waitForMessageBox(60000);
    EXPECT_EQ(done.text, "Setup files have been removed. Setup will now exit.");
    run.answer(done, IDOK);
    EXPECT_EQ(run.waitForExit(), 0);
}

void Scenario::expectInstalled(const char* product) {
    const std::string source = e2eFolder("products") + product;
    std::vector<std::string> installed = test_files::listTree(destination);
    const auto uninstaller = std::find(installed.begin(), installed.end(), "HalvUninstaller.exe");
    ASSERT_NE(uninstaller, installed.end());
    installed.erase(uninstaller);
    EXPECT_EQ(installed, test_files::listTree(source));
    for (const std::string& file : installed)
        if (file.back() != '\\') {
            EXPECT_EQ(test_files::readFile(dest() + file), test_files::readFile(source + "\\" + file)) << file;
        }
}

}  // namespace e2e
