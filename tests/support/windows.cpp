#include "support/windows.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace test_windows {

std::string specialFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

namespace {

// The shell's own link object for the shortcut at linkPath, released when it goes.
struct ShellLink {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t path[MAX_PATH] = L"";
    explicit ShellLink(const std::string& linkPath) {
        CoInitialize(nullptr);
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, path, MAX_PATH);
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
            link->QueryInterface(IID_IPersistFile, (void**)&file);
    }
    ~ShellLink() {
        if (file) file->Release();
        if (link) link->Release();
    }
};

}  // namespace

bool readShortcut(const std::string& linkPath, std::string* target, std::string* workingFolder) {
    ShellLink shell(linkPath);
    char path[MAX_PATH] = "", folder[MAX_PATH] = "";
    bool read = shell.file && SUCCEEDED(shell.file->Load(shell.path, STGM_READ)) &&
                SUCCEEDED(shell.link->GetPath(path, MAX_PATH, nullptr, 0)) &&
                SUCCEEDED(shell.link->GetWorkingDirectory(folder, MAX_PATH));
    *target = path;
    *workingFolder = folder;
    return read;
}

bool makeShortcut(const std::string& linkPath, const std::string& target) {
    ShellLink shell(linkPath);
    return shell.file && SUCCEEDED(shell.link->SetPath(target.c_str())) && SUCCEEDED(shell.file->Save(shell.path, TRUE));
}

bool keyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string keyText(const std::string& key, const char* value) {
    char data[1024] = "";
    DWORD size = sizeof data - 1, type = 0;
    if (!keyExists(key)) return "<no key>";
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return "<no value>";
    return type == REG_SZ ? std::string(data) : "<not text>";
}

DWORD keyNumber(const std::string& key, const char* value) {
    DWORD data = 0xFFFFFFFF, size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return data;
}

void setKeyText(const std::string& key, const char* value, const std::string& text) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr)) return;
    RegSetValueExA(handle, value, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(handle);
}

void deleteKey(const std::string& key) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()); }

void pause(int milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Sleep(milliseconds);
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0; !condition(); waited += 20) {
        if (waited >= timeoutMs) return false;
        pause(20);
    }
    return true;
}

LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
    return (LRESULT)result;
}

std::string windowText(HWND window) {
    char text[2048] = "";
    sendBounded(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

HWND findWindow(DWORD processId, const char* className) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr;) {
        DWORD process = 0, thread = GetWindowThreadProcessId(window, &process);
        if (IsWindowVisible(window) && (processId ? process == processId : thread == GetCurrentThreadId())) return window;
    }
    return nullptr;
}

Dialog waitForMessageBox(DWORD processId, int timeoutMs) {
    Dialog box;
    if (!waitFor([&] { return (box.window = findWindow(processId, "#32770")) != nullptr; }, timeoutMs)) return box;
    pause(50);
    box.text = windowText(GetDlgItem(box.window, 0xFFFF));
    box.caption = windowText(box.window);
    return box;
}

void answer(const Dialog& box, int buttonId) {
    HWND button = box.window ? GetDlgItem(box.window, buttonId) : nullptr;
    if (button) PostMessageA(button, BM_CLICK, 0, 0);  // posted: a sent message would wait on a hung box
    waitFor([&] { return !IsWindow(box.window); }, 5000);
}

ChildProcess::ChildProcess(const std::string& program, std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
        info_ = PROCESS_INFORMATION{};
}

ChildProcess::~ChildProcess() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

int ChildProcess::waitForExit(int timeoutMs) {
    DWORD code = 0;
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(info_.hProcess, &code);
    return (int)code;
}

}  // namespace test_windows
