// What Windows tests need besides files: shortcuts and registry values read
// back through the system, message boxes found and answered, other programs
// started and ended. Every wait has a bound, so a hung program fails its test
// instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace test_windows {

std::string specialFolder(int csidl);  // without a trailing backslash
// The target and working folder of a shortcut as the shell reads them.
bool readShortcut(const std::string& linkPath, std::string* target, std::string* workingFolder);
bool makeShortcut(const std::string& linkPath, const std::string& target);

// Keys and values under HKEY_LOCAL_MACHINE.
#define TEST_UNINSTALL_LIST "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
bool keyExists(const std::string& key);
std::string keyText(const std::string& key, const char* value);  // "<no key>", "<no value>", "<not text>"
DWORD keyNumber(const std::string& key, const char* value);       // 0xFFFFFFFF when unreadable
void setKeyText(const std::string& key, const char* value, const std::string& text);
void deleteKey(const std::string& key);

// Handles this thread's queued messages, then sleeps.
void pause(int milliseconds);
// Polls condition every 20 ms, pausing, until it holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);
// SendMessage to another thread's window that gives up after 10 s.
LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::string windowText(HWND window);  // by WM_GETTEXT, so across processes too
// A visible top-level window of className of the process (0: of this thread).
HWND findWindow(DWORD processId, const char* className);

struct Dialog {
    HWND window = nullptr;
    std::string text;
    std::string caption;
};
Dialog waitForMessageBox(DWORD processId, int timeoutMs);  // processId 0: this thread's
void answer(const Dialog& box, int buttonId);              // IDOK, IDYES, IDNO; waits for it to go

// Another program, ended when the object goes if it still runs.
class ChildProcess {
public:
    ChildProcess(const std::string& program, std::string commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    int waitForExit(int timeoutMs);  // the exit code; -1 while it still runs

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace test_windows
