// The window-system part of the installer's state: the program's instance and
// the main window that the engine's threads report to.
//
// Threads: start-up writes both fields on the main thread before any
// background thread starts; afterwards every thread may read them.
// Nothing here is freed before the process ends.
#pragma once

#include <windows.h>

struct InstallWindows {
    HINSTANCE instance;
    HWND mainWindow;
};

extern InstallWindows installWindows;

HWND getMainWindow();
