// What Windows tests need besides files: shortcuts and registry values read
// back through the system, message boxes found and answered, other programs
// started and ended, and bounded waits that keep this thread's messages
// flowing. Every wait has a bound, so a hung program fails its test instead
// of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace test_windows {

// The shell's folder for csidl, without a trailing backslash.
std::string specialFolder(int csidl);
// The target and working folder of the shortcut at linkPath, as the shell
// reads them. False when it cannot be loaded.
bool readShortcut(const std::string& linkPath, std::string* target, std::string* workingFolder);
// Saves a shortcut to target at linkPath. False when it cannot.
bool makeShortcut(const std::string& linkPath, const std::string& target);

// Keys and values under HKEY_LOCAL_MACHINE.
#define TEST_UNINSTALL_LIST "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
bool keyExists(const std::string& key);
// A REG_SZ value; "<no key>", "<no value>" or "<not text>" otherwise.
std::string keyText(const std::string& key, const char* value);
// A REG_DWORD value; 0xFFFFFFFF when it cannot be read.
DWORD keyNumber(const std::string& key, const char* value);
void setKeyText(const std::string& key, const char* value, const std::string& text);
void deleteKey(const std::string& key);

// Handles every queued message of this thread, then sleeps milliseconds.
void pause(int milliseconds);
// Polls condition every 20 ms (pausing) until it holds or timeoutMs passes.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);
// SendMessage to another thread's window that gives up after 10 s.
LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window's text, asked with WM_GETTEXT (so it works across processes).
std::string windowText(HWND window);
// A visible top-level window of the process (or of this thread, when
// processId is 0) whose class is className, or null.
HWND findWindow(DWORD processId, const char* className);

struct Dialog {
    HWND window = nullptr;
    std::string text;
    std::string caption;
};
// Waits for a message box of the process (processId 0: of this thread).
Dialog waitForMessageBox(DWORD processId, int timeoutMs);
// Presses the box's button (IDOK, IDYES, IDNO) and waits for the box to go.
void answer(const Dialog& box, int buttonId);

// Another program, ended when the object goes if it still runs.
class ChildProcess {
public:
    // Starts program with the command line (program's own name included).
    ChildProcess(const std::string& program, std::string commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    // The exit code after waiting up to timeoutMs; -1 while it still runs.
    int waitForExit(int timeoutMs);

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace test_windows
