#include "engine/install_windows.h"

InstallWindows installWindows;

HWND getMainWindow() { return installWindows.mainWindow; }
