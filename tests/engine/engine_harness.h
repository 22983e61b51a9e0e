// A hidden stand-in for the installer's main window and the controls the
// engine talks to (through the control table), installer files made with the
// package writer, and a message pump for the main thread while the worker or
// the rollback runs. The engine's tests and its benchmark share it.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "writer/package_writer.h"

using Report = std::pair<UINT, WPARAM>;  // WM_SETUP_* and its wParam; {0, 0}: none came

struct HarnessLog {
    std::vector<Report> setupMessages;  // to the main window
    std::vector<unsigned> barPositions;       // to control 13
};
extern HarnessLog harnessLog;

// Creates the windows (main window, controls 4, 9, 11, 12, 13, 14), resets
// the installer state and makes its lock.
void setUpEngineHarness();
void tearDownEngineHarness();

// Pumps messages until done() holds or timeoutMs passes; returns done().
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 60000);
Report waitForSetupMessage(DWORD timeoutMs = 60000);
std::string controlText(int id);

// Three directories ("\", "\data\", "\data\maps\"), no files, a 3000-byte uninstaller.
InstallerContents basicInstaller();
void writeInstaller(const std::string& path, const InstallerContents& contents);
// Points the installer state at path (modulePath, header) and destination.
void loadInstaller(const std::string& path, const std::string& destination);
// startExtraction or startRollback, then the pump until the thread reports.
Report runExtraction();
Report runRollback();
