// Operates a real installer as a user would: starts it, finds its window and
// controls by class and position, clicks, types, answers message boxes, and
// takes screenshots. Every wait is bounded; a test that ends early still
// ends the installer it started.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The folder that holds the installers made for these tests (a Windows path).
std::string installersFolder();
// The product trees those installers were packed from (a Windows path).
std::string productsFolder();
// The folder that receives the screenshots (a Windows path).
std::string screenshotsFolder();
// Converts a Linux path to the path Wine shows for it (drive Z:).
std::string windowsPath(const std::string& unixPath);

struct Dialog {
    HWND window = nullptr;
    std::string text;
    std::string caption;
};

class Installer {
public:
    explicit Installer(const std::string& path);
    ~Installer();  // ends the process if it still runs

    bool started() const { return process_ != nullptr; }
    HANDLE process() const { return process_; }
    // The main window once it is visible, or null after timeoutMs.
    HWND waitForWindow(int timeoutMs = 15000);
    HWND window() const { return window_; }
    // A message box of this process (owned by the main window or not).
    Dialog waitForMessageBox(int timeoutMs = 15000);
    // Presses a message box's button (IDYES, IDNO, IDOK) and waits for it to go.
    void answer(const Dialog& box, int buttonId);
    // The exit code, after waiting up to timeoutMs; -1 when it still runs.
    int waitForExit(int timeoutMs = 30000);

    // Child controls, by class and top-left corner in client coordinates.
    HWND control(const char* className, int x, int y) const;
    HWND leftButton() const { return control("ButtonBoy_Wnd", 318, 264); }
    HWND rightButton() const { return control("ButtonBoy_Wnd", 404, 264); }
    HWND destinationBox() const { return control("Edit", 196, 25); }
    HWND optionBox(int index) const;  // 0..4: the visible check boxes, top to bottom

    // A mouse click in the middle of a control: button down, then up.
    void click(HWND control);
    void typeDestination(const std::string& folder);
    // Waits until the control is visible and enabled, up to timeoutMs.
    bool waitEnabled(HWND control, int timeoutMs = 30000);
    // Waits until the control is visible and enabled and shows caption.
    bool waitForButton(HWND control, const std::string& caption, int timeoutMs = 60000);
    std::string text(HWND control) const;
    // Saves the window's screen area as a 24-bit BMP under the screenshots
    // folder. Finding the window or a message box saves one by itself.
    void screenshot(const std::string& name) const;
    std::string stepName(const char* what);

private:
    PROCESS_INFORMATION info_{};
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
    int steps_ = 0;
};

// SendMessage to a window of another process that gives up after 10 s, so a
// hung installer fails its test instead of hanging it.
LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Pumps this thread's messages and sleeps a little: Wine delivers sent
// messages to the driver only while it pumps.
void pause(int milliseconds);

std::vector<unsigned char> readFile(const std::string& path);
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
// Every file below folder, as paths relative to it, sorted.
std::vector<std::string> listTree(const std::string& folder);
void removeTree(const std::string& folder);
// A value of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<key>.
bool uninstallKeyExists(const std::string& key);
std::string uninstallText(const std::string& key, const char* value);
DWORD uninstallNumber(const std::string& key, const char* value);
void deleteUninstallKey(const std::string& key);
// The target path and working folder of a shortcut, read by the shell.
bool readShortcut(const std::string& linkPath, std::string* target, std::string* workingFolder);
std::string specialFolder(int csidl);

}  // namespace e2e
