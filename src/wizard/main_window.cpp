// The main window: builds the wizard at creation, paints its fixed frame,
// keeps its size, turns button presses into steps and the cancel question,
// and follows the worker's and the rollback's messages.
#include <windows.h>
#include <string.h>

#include "controls/button.h"
#include "controls/focus_nav.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "engine/destination.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "engine/rollback.h"
#include "engine/setup_messages.h"
#include "raster/pixel_surface.h"
#include "wizard/control_table.h"
#include "wizard/wizard.h"

namespace {

const LPARAM smallIconSize = 0x00100010;
const int focusOrder[] = {CONTROL_LEFT_BUTTON, CONTROL_RIGHT_BUTTON, CONTROL_LICENCE_TEXT, CONTROL_DESTINATION_TEXT, CONTROL_BROWSE, CONTROL_REFRESH,
                          CONTROL_OPTION_SHORTCUTS, CONTROL_OPTION_GROUP, CONTROL_OPTION_HELP, CONTROL_OPTION_RUN, CONTROL_OPTION_WEBSITE, CONTROL_HYPERLINK};

HWND control(int id) { return getControlWindow(id); }

void setText(int id, const char* text) { SendMessageA(control(id), WM_SETTEXT, 0, (LPARAM)text); }

void setButtonIcon(int id, int slot) {
    SendMessageA(control(id), BBM_SETICON, (WPARAM)wizard.smallIcons[slot], smallIconSize);
    SendMessageA(control(id), BBM_SHOWICON, 1, 1);
}

int say(const char* text, UINT flags) { return MessageBoxA(installWindows.mainWindow, text, systemName, flags); }

void buildControls(HWND window) {
    for (int id = 0; id < CONTROL_COUNT; ++id) {
        ControlDescriptor row = controlDescriptors[id];
        row.id = id;
        row.font = wizard.normalFont;
        addControlFromDescriptor(&row);
    }
    for (int group = 0; group <= 6; ++group) createGroupWindows(group, window);
    showGroup(0);
    SendMessageA(control(CONTROL_DESTINATION_TEXT), EM_LIMITTEXT, 259, 0);
    setButtonIcon(CONTROL_BROWSE, 5);
    setButtonIcon(CONTROL_REFRESH, 6);
    addFocusGroup(0);
    for (int id : focusOrder) enrolFocus(control(id));

    const PixelColor barColours[4] = {MakeColor(0, 0, 255), MakeColor(128, 128, 255),
                                             MakeColor(0, 0, 0), MakeColor(255, 255, 255)};
    HWND bar = control(CONTROL_PROGRESS);
    SendMessageA(bar, PBB_SETBORDER, 1, 0);
    SendMessageA(bar, PBB_SETRANGE, 0, 100);
    SendMessageA(bar, PBB_SETPOS, 0, 0);
    SendMessageA(bar, PBB_SETCOLORS, 0, (LPARAM)barColours);
    SendMessageA(control(CONTROL_LICENCE_HEADING), WM_SETFONT, (WPARAM)wizard.boldFont, TRUE);
    SendMessageA(control(CONTROL_HYPERLINK), WM_SETFONT, (WPARAM)wizard.boldFont, TRUE);
    setButtonIcon(CONTROL_LEFT_BUTTON, 9);
    setButtonIcon(CONTROL_RIGHT_BUTTON, 8);
    SendMessageA(control(CONTROL_HYPERLINK), HLM_SETLINK, (WPARAM)systemName, (LPARAM)HALV_MAKER_URL);
}

LRESULT onCreate(HWND window) {
    installWindows.mainWindow = window;
    computeWindowSize();
    SetWindowPos(window, nullptr, 0, 0, wizard.windowWidth, wizard.windowHeight, SWP_NOZORDER | SWP_NOREDRAW);
    centreWindow(window);
    buildControls(window);
    char* path = nullptr;
    getModulePath(&path);
    if (!readPackageHeader(path, &installState.header)) {
        say(initFailedText, MB_ICONERROR);
        wizard.headerUnreadable = 1;
        return -1;
    }
    char* licence = nullptr;
    getLicenceText(&licence);
    SendMessageA(control(CONTROL_LICENCE_TEXT), WM_SETTEXT, 0, (LPARAM)(licence ? licence : ""));
    installState.hasLicence = licence != nullptr;
    if (!licence) nextStep();
    showCurrentStep();
    setText(CONTROL_LICENCE_HEADING, installState.header.productName);
    SetWindowTextA(window, installState.header.installerTitle);
    return 0;
}

LRESULT onWindowPosChanging(WINDOWPOS* change) {
    if ((change->flags & SWP_NOSIZE) || (change->cx == wizard.windowWidth && change->cy == wizard.windowHeight))
        return 0;
    computeWindowSize();
    change->cx = wizard.windowWidth;
    change->cy = wizard.windowHeight;
    return 0;
}

// Once a removal starts, whichever way, nothing may ask the cancel question
// again: a second Yes would start a second removal beside the first.
void disableButtonsForRemoval() {
    EnableWindow(control(CONTROL_LEFT_BUTTON), FALSE);
    EnableWindow(control(CONTROL_RIGHT_BUTTON), FALSE);
    wizard.removing = 1;
}

// The worker pauses at its next progress report or file boundary while the
// question is open (it is never suspended: a suspended thread may hold the
// heap lock that the question's own window needs).
void cancelSequence(HWND window) {
    lockState();
    int running = getWorkerRunning();
    if (running) pauseWorker();
    // A failure that arrived while the question was open has started the
    // removal already; a Yes then adds nothing.
    if (say("Are you sure you want to cancel setup?", MB_YESNO | MB_ICONINFORMATION) != IDYES ||
        wizard.removing) {
        if (running) resumeWorker();
        unlockState();
        return;
    }
    // From here on the removal is under way: the close command must not ask again.
    disableButtonsForRemoval();
    requestStop();
    if (running) {
        resumeWorker();
    } else {
        PostMessageA(window, WM_SETUP_FAILED, 0, 0);
    }
    unlockState();
}

void onCommand(HWND window, HWND sender) {
    if (sender == control(CONTROL_LEFT_BUTTON)) {
        int step = installState.currentStep;
        if (step == 0 || (step == 1 && !installState.hasLicence)) {
            DestroyWindow(window);
        } else if (step == 1) {
            previousStep();
            showCurrentStep();
            SetFocus(control(CONTROL_RIGHT_BUTTON));
            InvalidateRect(window, nullptr, TRUE);
        } else {
            cancelSequence(window);
        }
    } else if (sender == control(CONTROL_RIGHT_BUTTON)) {
        nextStep();
        showCurrentStep();
        InvalidateRect(window, nullptr, TRUE);
    } else if (sender == control(CONTROL_BROWSE)) {
        browseForDestination();
    } else if (sender == control(CONTROL_REFRESH)) {
        checkFreeSpace();
    }
}

// Closing the window while files are written would leave them half written:
// on the installing step the close command asks the cancel question (also in
// the moment before the worker has marked itself running), during the removal
// it is ignored.
LRESULT onClose(HWND window) {
    if (wizard.removing) return 0;
    if (installState.currentStep == 2 || getWorkerRunning()) {
        cancelSequence(window);
        return 0;
    }
    DestroyWindow(window);
    return 0;
}

void onExtracted() {
    // A cancel confirmed while this message waited has started the removal.
    if (wizard.removing) return;
    lockState();
    if (!getWorkerRunning() && getExtractionDone()) {
        nextStep();
        showCurrentStep();
    }
    unlockState();
}

void onFailed(HWND window, WPARAM showMessage) {
    if (wizard.rollbackStarted) return;
    wizard.rollbackStarted = 1;
    disableButtonsForRemoval();
    if (showMessage)
        say("While attempting to install one or more files, a fatal error occured.\n"
            "Setup will now remove any installed files and exit.",
            MB_ICONERROR);
    installState.currentStep = 3;
    setText(CONTROL_STATUS_UPPER, "");
    setText(CONTROL_STATUS_LOWER, "");
    setText(CONTROL_PRESS_NEXT, "");
    setText(CONTROL_INSTALLING, "Removing Setup Files...");
    hideGroup(3);
    showGroup(2);
    showGroup(4);
    hideGroup(5);
    hideGroup(6);
    InvalidateRect(window, nullptr, TRUE);
    startRollback();
}

void onRemoved(HWND window) {
    say("Setup files have been removed. Setup will now exit.", MB_ICONINFORMATION);
    DestroyWindow(window);
}

void etchedTop(HDC dc, int left, int top, int right, int bottom) {
    RECT line = {left, top, right, bottom};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
}

void paintIcon(HDC dc, PixelSurface* surface, HICON icon, int size, int x, int y) {
    RECT all = {0, 0, 32, 32};
    FillRect(surface->memoryDc, &all, (HBRUSH)(COLOR_BTNFACE + 1));
    PixelDrawIcon(surface->buffer, 0, 0, 0, size, size, icon);
    BitBlt(dc, x, y, size, size, surface->memoryDc, 0, 0, SRCCOPY);
}

void paintOptionIcons(HDC dc, PixelSurface* surface) {
    const struct { int offered; int slot; } options[] = {
        {hasShortcuts(), 1},
        {hasStateText(TEXT_PROGRAM_GROUP_NAME), 2},
        {hasStateText(TEXT_HELP_FILE), 3},
        {hasStateText(TEXT_PROGRAM_TO_RUN), 0},
        {hasStateText(TEXT_WEBSITE_URL), 4},
    };
    int row = 6;
    for (const auto& option : options) {
        if (!option.offered) continue;
        // The shortcut option's icon sits one pixel lower than the others.
        int y = option.slot == 1 ? 11 : row + 4;
        paintIcon(dc, surface, wizard.smallIcons[option.slot], 16, 196, y);
        row += 27;
    }
}

void paintFrame(HDC dc) {
    HDC pictureDc = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(pictureDc, wizard.sidePicture);
    BitBlt(dc, 8, 8, 180, 200, pictureDc, 0, 0, SRCCOPY);
    SelectObject(pictureDc, previous);
    DeleteDC(pictureDc);

    const char* name = installState.header.displayName;
    if (name[0]) {
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ oldFont = SelectObject(dc, wizard.titleFont);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, 45, 227, name, (int)strlen(name));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        TextOutA(dc, 44, 226, name, (int)strlen(name));
        SelectObject(dc, oldFont);
    }
    drawEtchedFrame(dc, 6, 6, 184, 204);
    etchedTop(dc, 6, 216, 484, 270);
    etchedTop(dc, 6, 256, 484, 297);
}

LRESULT onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PixelSurface surface;
    if (!CreatePixelSurface(dc, nullptr, &surface, 32, 32, 32)) {
        EndPaint(window, &paint);
        return 0;
    }
    paintFrame(dc);
    int step = installState.currentStep;
    if (step == 4) {
        paintOptionIcons(dc, &surface);
    } else if (step != 0) {
        etchedTop(dc, 196, 85, 484, 83);
        etchedTop(dc, 196, 158, 484, 83);
    }
    paintIcon(dc, &surface, wizard.bannerIcon, 32, 6, 220);
    paintIcon(dc, &surface, wizard.smallIcons[7], 16, 6, 269);
    DestroyPixelSurface(&surface);
    EndPaint(window, &paint);
    return 1;
}

}  // namespace

int drawEtchedFrame(HDC dc, int x, int y, int width, int height) {
    RECT frame = {x, y, x + width, y + height};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return onCreate(window);
        case WM_WINDOWPOSCHANGING: return onWindowPosChanging((WINDOWPOS*)lParam);
        case WM_ACTIVATE: SetFocus(control(CONTROL_LEFT_BUTTON)); break;
        case WM_DESTROY:
            removeFocusGroups();
            PostQuitMessage(0);
            break;
        case WM_CLOSE: return onClose(window);
        case WM_COMMAND: onCommand(window, (HWND)lParam); return 0;
        case WM_PAINT: return onPaint(window);
        case WM_SETUP_EXTRACTED: onExtracted(); break;
        case WM_SETUP_FAILED: onFailed(window, wParam); break;
        case WM_SETUP_REMOVED: onRemoved(window); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
