// The installer program's window: start-up, the main window procedure and the
// wizard's six steps.
//
// Threads: main thread only. Background threads reach the window by the
// posted WM_SETUP_ messages (engine/setup_messages.h) and by setting the
// installing step's status lines and progress bar.
// Memory: the fonts, icons and picture are loaded once at start-up and kept
// until the process ends, like everything in the installer state.
#pragma once

#include <windows.h>

#include "wizard/control_table.h"

// The maker's web address: the hyperlink's target and part of the integrity
// message.
#define HALV_MAKER_URL "https://www.halvorsine.org/"
#define HALV_SYSTEM_NAME "Halvorsine Install System"

// Texts used in more than one place, stored once (the linker does not merge
// equal literals of different files, and the program's size is counted).
extern const char systemName[];      // HALV_SYSTEM_NAME
extern const char initFailedText[];  // the package header cannot be read
extern const char installingText[];  // "Installing...": the installing step's heading
extern const char completeText[];    // "Install Complete.": the completion step's heading

enum WizardGeometry {
    clientWidth = 490,
    clientHeight = 297,
    smallIconCount = 11,
};

// The fonts, pictures and window size of the installer state (the instance
// and the main window are in engine/install_windows.h).
struct WizardResources {
    int windowWidth;             // outer size for a 490 x 297 client area
    int windowHeight;
    HFONT normalFont;
    HFONT boldFont;
    HFONT titleFont;
    HBITMAP sidePicture;
    HICON appIconLarge;
    HICON bannerIcon;
    HICON smallIcons[smallIconCount];   // slot k holds icon 201 + k at 16 x 16
    int removing;                // cancel confirmed or rollback running: the close command is ignored
    int rollbackStarted;         // one removal per run, however many failures are reported
    int headerUnreadable;        // creation failed after telling the user why
};

extern WizardResources wizard;

// The 27 rows from which the wizard's controls are registered, in id order;
// each row's id and font are set when it is registered.
extern const ControlDescriptor controlDescriptors[CONTROL_COUNT];

int InstallerMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
int registerMainWindowClass(HINSTANCE instance, WNDPROC windowProc, const char* className,
                            const char* menuName, HICON largeIcon, HICON smallIcon);
int centreWindow(HWND window);
int computeWindowSize();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int drawEtchedFrame(HDC dc, int x, int y, int width, int height);

// Shows the step in currentStep and does the work of entering it. Returns 1,
// or 0 when step 1 could not format the required space.
int showCurrentStep();
int getCheck(HWND checkBox, int* checked);
int setCheck(HWND checkBox, int state);
