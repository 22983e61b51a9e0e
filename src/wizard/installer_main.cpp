// Start-up: one instance, the system's version, the file's integrity, the
// classes, fonts and pictures, the main window and the message loop. Every
// way out ends the process with exit code 0.
#include <windows.h>
#include <stdio.h>

#include "controls/button.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "controls/system_libraries.h"
#include "controls/visual_styles.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "package/package_format.h"
#include "resource_ids.h"
#include "wizard/control_table.h"
#include "wizard/wizard.h"

WizardResources wizard;
const char systemName[] = HALV_SYSTEM_NAME;
const char initFailedText[] = "Could not initialize installer. Fatal error, exiting.";

namespace {

const char mainClassName[] = "Halvorsine_Install_System";
const DWORD mainWindowStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;

int fail(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONERROR);
    return 0;
}

int supportedSystem() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwMajorVersion == 5 && (version.dwMinorVersion == 0 || version.dwMinorVersion == 1);
}

// Compares the file's checksum with the trailer's last word.
int fileIntact(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) return -1;
    uint32_t stored = 0;
    long covered = -1;
    if (fseek(file, -4, SEEK_END) == 0) covered = ftell(file);
    size_t got = covered > 0 ? fread(&stored, 1, 4, file) : 0;
    fclose(file);
    if (got != 4) return 0;
    return computeFileChecksum(path, (uint32_t)covered, checksumSeed) == stored;
}

void loadPictures(HINSTANCE instance) {
    wizard.normalFont = CreateFontA(-8, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
    wizard.boldFont = CreateFontA(-8, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
    wizard.titleFont = CreateFontA(-16, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    for (int slot = 0; slot < smallIconCount; ++slot)
        wizard.smallIcons[slot] =
            (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP + slot), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    wizard.appIconLarge = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    wizard.bannerIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_BANNER), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    wizard.sidePicture =
        (HBITMAP)LoadImageA(instance, MAKEINTRESOURCEA(IDB_SIDE_PICTURE), IMAGE_BITMAP, 180, 200, LR_DEFAULTCOLOR);
}

}  // namespace

int registerMainWindowClass(HINSTANCE instance, WNDPROC windowProc, const char* className,
                            const char* menuName, HICON largeIcon, HICON smallIcon) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = largeIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = menuName;
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass) != 0;
}

int computeWindowSize() {
    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&outer, WS_CAPTION, FALSE);
    wizard.windowWidth = outer.right - outer.left;
    wizard.windowHeight = outer.bottom - outer.top;
    return 1;
}

int centreWindow(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    MoveWindow(window, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2,
               width, height, TRUE);
    return 1;
}

int InstallerMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HWND running = FindWindowA(mainClassName, nullptr);
    if (running) {
        SetForegroundWindow(running);
        return 0;
    }
    if (!supportedSystem() &&
        MessageBoxA(nullptr,
                    "This software was intended to run on Windows 2000 or Windows XP. However, you can still choose "
                    "to install the software, but it may not function as intended.\n\nDo you wish to continue?",
                    systemName, MB_YESNO | MB_ICONQUESTION) == IDNO)
        return 0;

    char* path = nullptr;
    getModulePath(&path);
    GetModuleFileNameA(nullptr, path, kPathCapacity + 1);
    int intact = fileIntact(path);
    if (intact < 0) return fail(initFailedText, systemName);
    if (!intact)
        return fail("File integrity check failed. This file has been altered from its original state, and is "
                    "corrupt.\nPlease visit the Halvorsine website at " HALV_MAKER_URL
                    " to obtain an uncorrupted copy of this file.",
                    systemName);

    installWindows.instance = instance;
    initControlTable(instance);
    LoadVisualStyles();
    RegisterButtonBoyClass(instance);
    RegisterProgressBoyClass(instance);
    RegisterLinkClass();
    createStateMutex();
    loadPictures(instance);
    if (!registerMainWindowClass(instance, MainWindowProc, mainClassName, nullptr, wizard.appIconLarge,
                                 wizard.smallIcons[0]))
        return fail("Window class creation failed. Exiting", "Fatal Error");

    HWND window = CreateWindowExA(0, mainClassName, systemName, mainWindowStyle, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) {
        if (wizard.headerUnreadable) return 0;
        return fail("Main window creation failed. Exiting", "Fatal Error");
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
    // Before anything can load a library: the installer usually runs from a
    // download folder, which holds whatever other sites put there.
    restrictLibrarySearch();
    return InstallerMain(instance, previousInstance, commandLine, showCommand);
}
