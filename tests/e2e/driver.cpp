#include "driver.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace e2e {

namespace {

const char uninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Polls condition every 20 ms, pumping messages, until it holds or time runs out.
bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0;; waited += 20) {
        if (condition()) return true;
        if (waited >= timeoutMs) return false;
        pause(20);
    }
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK findProcessWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && IsWindowVisible(window) && lstrcmpiA(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK describeWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<DWORD, std::string>*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->first) return TRUE;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    search->second += std::string(" ") + className + (IsWindowVisible(window) ? "(visible)" : "(hidden)");
    return TRUE;
}

// The top-level windows of a process, for messages about a failed wait.
std::string describeWindows(DWORD processId) {
    std::pair<DWORD, std::string> search{processId, ""};
    EnumWindows(describeWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND processWindow(DWORD processId, const char* className) {
    WindowSearch search{processId, className, nullptr};
    EnumWindows(findProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    HWND parent;
    const char* className;
    POINT corner;
    HWND found;
};

BOOL CALLBACK findChild(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<ChildSearch*>(data);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    RECT box;
    GetWindowRect(child, &box);
    POINT corner{box.left, box.top};
    ScreenToClient(search->parent, &corner);
    if (lstrcmpiA(className, search->className) == 0 && corner.x == search->corner.x && corner.y == search->corner.y) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
    return (LRESULT)result;
}

namespace {

// WM_GETTEXT rather than GetWindowTextA, which does not ask a window of
// another process and so misses what its own procedure keeps.
std::string windowText(HWND window) {
    char text[2048] = "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    return text;
}

}  // namespace

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The fixture's output folder: installers/, products/ and screenshots/.
static std::string e2eFolder(const char* name) { return windowsPath(environment("HALV_E2E_ROOT") + "/" + name); }

std::string installersFolder() { return e2eFolder("installers"); }
std::string productsFolder() { return e2eFolder("products"); }

std::string screenshotsFolder() {
    std::string folder = e2eFolder("screenshots");
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void pause(int milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(milliseconds);
}

Installer::Installer(const std::string& path) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + path + "\"";
    if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
        process_ = info_.hProcess;
        WaitForInputIdle(process_, 5000);
    }
}

Installer::~Installer() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(process_);
}

HWND Installer::waitForWindow(int timeoutMs) {
    waitFor([&] { return (window_ = processWindow(info_.dwProcessId, "Halvorsine_Install_System")) != nullptr; },
            timeoutMs);
    if (window_) {
        pause(100);  // let the first paint finish
        screenshot(stepName("window"));
    }
    return window_;
}

Dialog Installer::waitForMessageBox(int timeoutMs) {
    Dialog box;
    waitFor([&] { return (box.window = processWindow(info_.dwProcessId, "#32770")) != nullptr; }, timeoutMs);
    if (box.window) {
        pause(50);
        box.text = windowText(GetDlgItem(box.window, 0xFFFF));
        box.caption = windowText(box.window);
        screenshot(stepName("message"));
    } else {
        box.text = "<no message box; windows:" + describeWindows(info_.dwProcessId) + ">";
    }
    return box;
}

void Installer::answer(const Dialog& box, int buttonId) {
    if (!box.window) return;
    HWND button = GetDlgItem(box.window, buttonId);
    // Posted: a sent message would wait without bound if the box hung.
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
    waitFor([&] { return !IsWindow(box.window); }, 5000);
}

int Installer::waitForExit(int timeoutMs) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return (int)code;
}

HWND Installer::control(const char* className, int x, int y) const {
    ChildSearch search{window_, className, {x, y}, nullptr};
    EnumChildWindows(window_, findChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Installer::optionBox(int index) const { return control("Button", 216, 6 + 27 * index); }

void Installer::click(HWND target) {
    RECT box;
    GetClientRect(target, &box);
    LPARAM middle = MAKELPARAM(box.right / 2, box.bottom / 2);
    PostMessageA(target, WM_MOUSEMOVE, 0, middle);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(target, WM_LBUTTONUP, 0, middle);
    pause(100);
}

void Installer::typeDestination(const std::string& folder) {
    sendBounded(destinationBox(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
}

bool Installer::waitEnabled(HWND target, int timeoutMs) {
    return waitFor([&] { return IsWindowEnabled(target) && IsWindowVisible(target); }, timeoutMs);
}

bool Installer::waitForButton(HWND target, const std::string& caption, int timeoutMs) {
    return waitFor([&] { return IsWindowEnabled(target) && IsWindowVisible(target) && windowText(target) == caption; },
                   timeoutMs);
}

std::string Installer::text(HWND target) const { return windowText(target); }

// "<scenario>-<number>-<what>": every scenario keeps the pictures of the
// windows and messages it went through, in order.
std::string Installer::stepName(const char* what) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char number[8];
    snprintf(number, sizeof number, "%02d", ++steps_);
    return std::string(test ? test->name() : "run") + "-" + number + "-" + what;
}

void Installer::screenshot(const std::string& name) const {
    RECT box;
    if (!window_ || !GetWindowRect(window_, &box)) return;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
    SelectObject(memory, previous);
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * height;
    std::ofstream out(screenshotsFolder() + "\\" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), rowBytes * height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
void walk(const std::string& folder, const std::string& prefix, std::vector<std::string>* files) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files->push_back(prefix + name + "\\");
            walk(folder + "\\" + name, prefix + name + "\\", files);
        } else {
            files->push_back(prefix + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
}  // namespace

std::vector<std::string> listTree(const std::string& folder) {
    std::vector<std::string> files;
    walk(folder, "", &files);
    std::sort(files.begin(), files.end());
    return files;
}

void removeTree(const std::string& folder) {
    std::vector<std::string> entries = listTree(folder);
    std::reverse(entries.begin(), entries.end());
    for (const std::string& entry : entries) {
        std::string path = folder + "\\" + entry;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.back() == '\\')
            RemoveDirectoryA(path.c_str());
        else
            DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

bool uninstallKeyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (uninstallRoot + key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::string uninstallText(const std::string& key, const char* value) {
    char data[1024] = "";
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (uninstallRoot + key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<no key>";
    LONG result = RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return "<no value>";
    return type == REG_SZ ? std::string(data) : "<not text>";
}

DWORD uninstallNumber(const std::string& key, const char* value) {
    DWORD data = 0xFFFFFFFF;
    DWORD size = sizeof data;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (uninstallRoot + key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return data;
    RegQueryValueExA(handle, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(handle);
    return data;
}

void deleteUninstallKey(const std::string& key) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, (uninstallRoot + key).c_str()); }

bool readShortcut(const std::string& linkPath, std::string* target, std::string* workingFolder) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool loaded = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char path[MAX_PATH] = "";
            char folder[MAX_PATH] = "";
            link->GetPath(path, MAX_PATH, nullptr, 0);
            link->GetWorkingDirectory(folder, MAX_PATH);
            *target = path;
            *workingFolder = folder;
            loaded = true;
        }
        file->Release();
    }
    link->Release();
    return loaded;
}

std::string specialFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

}  // namespace e2e
