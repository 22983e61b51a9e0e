#include "engine_harness.h"

#include <string.h>

#include <stdexcept>

#include "controls/progress_bar.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "engine/rollback.h"
#include "engine/setup_messages.h"
#include "support/files.h"
#include "support/package_bytes.h"
#include "wizard/control_table.h"

HarnessLog harnessLog;

namespace {

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_SETUP_EXTRACTED && message <= WM_SETUP_REMOVED) {
        harnessLog.setupMessages.push_back({message, wParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The progress bar's stand-in records every position.
LRESULT CALLBACK barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBB_SETPOS) harnessLog.barPositions.push_back((unsigned)wParam);
    return message == PBB_SETPOS ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void setUpEngineHarness() {
    harnessLog = HarnessLog();
    resetInstallState();
    createStateMutex();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    for (auto [name, procedure] : {std::pair<const char*, WNDPROC>{"EngineTestMain", mainProc}, {"EngineTestBar", barProc}}) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = name;
        RegisterClassA(&windowClass);
    }
    initControlTable(instance);
    installWindows.instance = instance;
    installWindows.mainWindow =
        CreateWindowExA(0, "EngineTestMain", "", WS_OVERLAPPEDWINDOW, 0, 0, 490, 297, nullptr, nullptr, instance, nullptr);
    for (int id : {4, 9, 11, 12, 13, 14})
        addControl(1, id, 0, WS_CHILD, id == 13 ? "EngineTestBar" : id == 4 ? "EDIT" : "STATIC", nullptr, 0, 0, 9, 9, nullptr);
    createGroupWindows(1, installWindows.mainWindow);
}

void tearDownEngineHarness() {
    DestroyWindow(installWindows.mainWindow);
    installWindows.mainWindow = nullptr;
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        // Sleeps until a message arrives, or briefly, leaving the processor to the worker.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

Report waitForSetupMessage(DWORD timeoutMs) {
    size_t seen = harnessLog.setupMessages.size();
    if (!pumpUntil([&] { return harnessLog.setupMessages.size() > seen; }, timeoutMs)) return {0, 0};
    return harnessLog.setupMessages[seen];
}

std::string controlText(int id) {
    char text[512] = "";
    GetWindowTextA(getControlWindow(id), text, sizeof text);
    return text;
}

InstallerContents basicInstaller() {
    InstallerContents contents;
    contents.header = {"Tidewater Setup", "Harbour Works", "Tidewater", "2.4", "{PROGRAM_FILES}", "Tidewater",
                       {"\\", "\\data\\", "\\data\\maps\\"}, "Terms\r\n", 0, 0};
    contents.uninstaller = package_bytes::randomBytes(3000, 99);
    return contents;
}

void writeInstaller(const std::string& path, const InstallerContents& contents) {
    if (!test_files::writeFile(path, buildInstaller({'M', 'Z'}, contents))) throw std::runtime_error(path);
}

void loadInstaller(const std::string& path, const std::string& destination) {
    strcpy(installState.modulePath, path.c_str());
    if (!readPackageHeader(path.c_str(), &installState.header)) throw std::runtime_error("header of " + path);
    strcpy(installState.destinationPath, destination.c_str());
}

Report runExtraction() {
    if (!startExtraction()) return waitForSetupMessage(5000);
    Report message = waitForSetupMessage();
    WaitForSingleObject((HANDLE)installState.workerThread, 10000);
    return message;
}

Report runRollback() {
    startRollback();
    return waitForSetupMessage();
}
