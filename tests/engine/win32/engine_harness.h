// A hidden stand-in for the installer's main window and the controls the
// engine talks to, installer files made with the package writer, and a
// message pump for the main thread while the worker or the rollback runs.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "writer/package_writer.h"

struct PostedMessage {
    UINT message;
    WPARAM wParam;
};

// What the hidden windows received.
struct HarnessLog {
    std::vector<PostedMessage> setupMessages;   // WM_SETUP_* to the main window
    std::vector<unsigned> barPositions;         // position messages to control 13
};

extern HarnessLog harnessLog;

// Creates the windows (main window, controls 4, 9, 11, 12, 13, 14 through the
// control table), resets the installer state and makes its lock.
void setUpEngineHarness();
void tearDownEngineHarness();

// Pumps messages until a WM_SETUP_* message arrives or timeoutMs passes.
// Returns the message (message 0 on time-out).
PostedMessage waitForSetupMessage(DWORD timeoutMs = 60000);

// Pumps messages for about durationMs.
void pumpFor(DWORD durationMs);

// Pumps messages until done() holds or timeoutMs passes; returns done().
template <typename Condition>
bool pumpUntil(Condition done, DWORD timeoutMs = 60000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // Sleeps until a message arrives (or briefly, for conditions that
        // change without one), leaving the processor to the worker.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

std::string controlText(int id);

// A fresh folder under the temporary folder, ending in a backslash.
std::string makeScratchFolder(const char* tag);
// Deletes folder and everything in it (read-only entries included).
void removeTree(const std::string& folder);

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed);
std::vector<uint8_t> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::string& path);

// Makes the file read-only. Where that does not stop writing (Wine run by
// root ignores it), also holds the file open without sharing and returns that
// handle for the caller to close; else INVALID_HANDLE_VALUE.
HANDLE protectReadOnly(const std::string& path);

struct PackageFile {
    uint32_t directoryIndex;
    std::string name;
    std::vector<uint8_t> content;
};

// A small installer file: a few program bytes, then the package.
struct InstallerSpec {
    PackageHeaderFields header;
    std::vector<PackageFile> files;
    std::vector<uint8_t> uninstaller;
    TrailingData trailing;
};

InstallerSpec basicInstaller();

// Writes the installer file at path; returns the offset of every file record
// (the uninstaller record last) so tests can damage them.
std::vector<uint64_t> writeInstaller(const std::string& path, const InstallerSpec& spec);

// Points the installer state at path (modulePath, header) and destination.
void loadInstaller(const std::string& path, const std::string& destination);

// startExtraction, then the pump until the worker reports.
PostedMessage runExtraction();
// startRollback, then the pump until it reports.
PostedMessage runRollback();
