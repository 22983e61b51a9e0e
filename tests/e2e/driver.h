// Operates real installers under Wine as a user would: starts them, finds
// their window and controls by class and position, clicks, types, answers
// message boxes and saves a screenshot of every window and message it meets.
// Every wait is bounded by bound(), which one setting scales for slower
// hosts; a scenario that ends early still ends the installer it started.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/windows.h"

namespace e2e {

using test_windows::Dialog;

// milliseconds times HALV_E2E_WAIT_SCALE (default 1).
int bound(int milliseconds);
// installers/, products/ and screenshots/ of the fixture (HALV_E2E_ROOT), as Windows paths.
std::string e2eFolder(const char* name);
inline std::string installer(const char* name) { return e2eFolder("installers") + name; }

class Installer : public test_windows::ChildProcess {
public:
    explicit Installer(const std::string& path);
    HWND waitForWindow(int timeoutMs = 15000);  // the main window once visible, or null
    Dialog waitForMessageBox(int timeoutMs = 15000);
    void answer(const Dialog& box, int buttonId);
    int waitForExit(int timeoutMs = 30000) { return ChildProcess::waitForExit(bound(timeoutMs)); }
    HWND window() const { return window_; }
    // A child control by class and top-left corner in client coordinates.
    HWND control(const char* className, int x, int y) const;
    HWND leftButton() const { return control("ButtonBoy_Wnd", 318, 264); }
    HWND rightButton() const { return control("ButtonBoy_Wnd", 404, 264); }
    HWND optionBox(int index) const { return control("Button", 216, 6 + 27 * index); }  // the visible ones, top down
    void click(HWND target);  // a mouse click in its middle
    void typeDestination(const std::string& folder);
    bool waitForButton(HWND target, const std::string& caption, int timeoutMs = 60000);  // visible, enabled, captioned
    std::string text(HWND target) const { return test_windows::windowText(target); }
    void screenshot(const char* what);
    // The side picture, frame and icons of a step against the baseline; HALV_E2E_RECORD writes it.
    void expectPictures(const char* step);

private:
    HWND window_ = nullptr;
    int steps_ = 0;
};

// The fatal-error message (when fatal), duringRemoval, the removal's message; each answered, a clean exit.
void expectRemoved(Installer& run, bool fatal, const std::function<void()>& duringRemoval = [] {});

// A fresh destination under C:\e2e named after the scenario; the test
// products' uninstall keys, shortcuts and program group gone before and after.
class Scenario : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string dest() const { return destination + "\\"; }
    // From the licence step (or the destination step) to the installing step.
    void startInstalling(Installer& run, bool licence = true);
    // On the completion step: Next, every option unchecked, Finish, a clean exit.
    void finishWithoutOptions(Installer& run);
    // The destination holds the product's tree byte for byte, and the uninstaller.
    void expectInstalled(const char* product);
    std::string destination;
};

const char kCancelText[] = "Are you sure you want to cancel setup?";
const std::string kUninstallKey[] = {TEST_UNINSTALL_LIST "E2E Tests Full Product 1.0",
                                     TEST_UNINSTALL_LIST "E2E Tests Plain Product 3.0",
                                     TEST_UNINSTALL_LIST "E2E Tests Big Product 2.0",
                                     TEST_UNINSTALL_LIST "E2E Tests Crowded Product 1.0",
                                     TEST_UNINSTALL_LIST "E2E Tests Fifty Files 5.0",
                                     TEST_UNINSTALL_LIST "E2E Tests Thousands 1.0"};
enum Product { kFull, kPlain, kBig, kCrowd, kFifty, kThousands };

}  // namespace e2e
