#include "driver.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

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

namespace {

// A rectangle of the screen as rows of 24-bit pixels, the bottom row first,
// each row padded to four bytes.
std::vector<uint8_t> screenPixels(int left, int top, int width, int height) {
    const DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, rowBytes * height, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
    SelectObject(memory, previous);
    std::vector<uint8_t> pixels((const uint8_t*)bits, (const uint8_t*)bits + rowBytes * height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// A .bmp file of 24-bit pixels as screenPixels gives them.
std::vector<uint8_t> bitmapFile(int width, int height, const std::vector<uint8_t>& pixels) {
    BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, (DWORD)pixels.size(), 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof header};
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    std::vector<uint8_t> bytes((const uint8_t*)&file, (const uint8_t*)(&file + 1));
    bytes.insert(bytes.end(), (const uint8_t*)&header, (const uint8_t*)(&header + 1));
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
}

}  // namespace

// "<scenario>-<step>-<what>.bmp": the pictures of the windows and messages a
// scenario went through, in order.
void Installer::screenshot(const char* what) {
    RECT box;
    if (!window_ || !GetWindowRect(window_, &box)) return;
    const int width = box.right - box.left, height = box.bottom - box.top;
    CreateDirectoryA(e2eFolder("screenshots").c_str(), nullptr);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test ? test->name() : "run") + "-" + std::to_string(++steps_) + "-" + what;
    std::replace(name.begin(), name.end(), '/', '-');
    test_files::writeFile(e2eFolder("screenshots") + name + ".bmp",
                          bitmapFile(width, height, screenPixels(box.left, box.top, width, height)));
}

void Installer::expectPictures(const char* step) {
    // The licence step's left column (the frame with the side picture, the
    // banner and the link with their icons); the options step's option icons.
    const bool options = std::string(step) == "options";
    const RECT area = options ? RECT{196, 6, 212, 136} : RECT{0, 0, 196, 297};
    POINT corner{area.left, area.top};
    ClientToScreen(window_, &corner);
    const int width = area.right - area.left, height = area.bottom - area.top;
    const std::vector<uint8_t> seen = bitmapFile(width, height, screenPixels(corner.x, corner.y, width, height));
    const std::string baseline = e2eFolder("pictures") + step + ".bmp";
    if (std::getenv("HALV_E2E_RECORD")) test_files::writeFile(baseline, seen);
    EXPECT_TRUE(test_files::readFile(baseline) == seen) << "the pictures differ from " << baseline;
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

void expectRemoved(Installer& run, bool fatal, const std::function<void()>& duringRemoval) {
    if (fatal) {
        Dialog box = run.waitForMessageBox(60000);
        EXPECT_EQ(box.text, "While attempting to install one or more files, a fatal error occured.\nSetup will now remove "
                            "any installed files and exit.");
        run.answer(box, IDOK);
    }
    duringRemoval();
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
