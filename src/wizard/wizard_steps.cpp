// The wizard's steps: which control groups each step shows, the labels and
// states of the two wizard buttons, the destination's validation on Install,
// the options page and the finishing actions.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include "controls/button.h"
#include "engine/destination.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/uninstall_entry.h"
#include "engine/install_windows.h"
#include "engine/shortcut.h"
#include "util/blocks.h"
#include "util/size_format.h"
#include "wizard/control_table.h"
#include "wizard/wizard.h"

namespace {

const int pathBytes = 261;  // 260 characters and the terminator
const UINT questionFlags = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
const LPARAM smallIconSize = 0x00100010;

void setText(int id, const char* text) { SendMessageA(getControlWindow(id), WM_SETTEXT, 0, (LPARAM)text); }

void setButtonIcon(int id, int slot) {
    SendMessageA(getControlWindow(id), BBM_SETICON, (WPARAM)wizard.smallIcons[slot], smallIconSize);
}

void enable(int id, BOOL enabled) { EnableWindow(getControlWindow(id), enabled); }

int say(const char* text, UINT flags) {
    return MessageBoxA(installWindows.mainWindow, text, HALV_SYSTEM_NAME, flags);
}

int showLicenceStep() {
    showGroup(1);
    hideGroup(2);
    hideGroup(3);
    setText(idLeftButton, "Exit");
    setText(idRightButton, "I Agree");
    setButtonIcon(idLeftButton, 9);
    SetFocus(getControlWindow(idLeftButton));
    return 1;
}

int showDestinationStep() {
    hideGroup(1);
    showGroup(2);
    showGroup(3);
    hideGroup(4);
    resolveDefaultDestination();
    char* required = formatSize(getRequiredSpace(), 0);
    if (!required) return 0;
    setText(idRequiredSpace, required);
    freeBlock((void**)&required);
    setText(idLeftButton, installState.hasLicence ? "Back" : "Exit");
    setButtonIcon(idLeftButton, 10);
    setText(idRightButton, "Install");
    enable(idRightButton, TRUE);
    enable(idBrowse, TRUE);
    enable(idDestination, TRUE);
    enable(idDestinationLabel, TRUE);
    SetFocus(getControlWindow(idRightButton));
    return 1;
}

// The destination is accepted when its folders exist or could be made, and
// the drive has room; otherwise the step goes back to 1 with the page as is.
int acceptDestination() {
    char* destination = getDestinationPath();
    SendMessageA(getControlWindow(idDestination), WM_GETTEXT, pathBytes - 1, (LPARAM)destination);
    ensureTrailingBackslash(destination, pathBytes);
    int created = createDirectoryPath(destination);
    if (created == ERROR_ALREADY_EXISTS) {
        if (say("The specified destination folder already exists.\nDo you still want to install to this folder?",
                questionFlags) == IDNO) {
            previousStep();
            return 0;
        }
    } else if (created != 0) {
        previousStep();
        say("The specified destination folder could not be created.\nPlease choose a different destination folder.",
            MB_ICONERROR);
        return 0;
    }
    checkFreeSpace();
    if (!installState.enoughSpace) {
        previousStep();
        char message[600] = "There is insufficient space to install ";
        appendText(message, sizeof message, installState.header.productName);
        appendText(message, sizeof message,
                   " on the selected drive.\nPlease free up some space on the selected drive and press Refresh, "
                   "or choose another drive.");
        say(message, MB_ICONERROR);
        return 0;
    }
    return 1;
}

int showInstallingStep() {
    if (!acceptDestination()) return 1;
    hideGroup(3);
    showGroup(2);
    showGroup(4);
    hideGroup(5);
    setText(idLeftButton, "Cancel");
    setText(idRightButton, "Next");
    enable(idRightButton, FALSE);
    enable(idBrowse, FALSE);
    enable(idDestination, FALSE);
    enable(idDestinationLabel, FALSE);
    setText(idInstalling, "Installing...");
    setButtonIcon(idLeftButton, 9);
    registerUninstallEntry();
    startExtraction();
    return 1;
}

int showCompleteStep() {
    showGroup(4);
    showGroup(2);
    showGroup(5);
    hideGroup(6);
    enable(idRightButton, TRUE);
    setText(idComplete, "Install Complete.");
    SetFocus(getControlWindow(idRightButton));
    return 1;
}

int optionOffered(int id) {
    switch (id) {
        case idCreateShortcuts: return hasShortcuts();
        case idCreateGroup: return hasStateText(TEXT_PROGRAM_GROUP_NAME);
        case idViewHelp: return hasStateText(TEXT_HELP_FILE);
        case idRunProgram: return hasStateText(TEXT_PROGRAM_TO_RUN);
        case idVisitWebsite: return hasStateText(TEXT_WEBSITE_URL);
    }
    return 0;
}

int showOptionsStep() {
    hideGroup(4);
    hideGroup(2);
    hideGroup(5);
    int y = 6;
    for (int id = idCreateShortcuts; id <= idVisitWebsite; ++id) {
        HWND box = getControlWindow(id);
        if (optionOffered(id)) {
            SetWindowPos(box, nullptr, 216, y, 288, 27, SWP_NOZORDER | SWP_SHOWWINDOW);
            setCheck(box, 1);
            y += 27;
        } else {
            ShowWindow(box, SW_HIDE);
        }
    }
    if (installState.lists.finishText[0]) {
        setText(idFinishText, installState.lists.finishText);
        ShowWindow(getControlWindow(idFinishText), SW_SHOW);
    }
    setText(idRightButton, "Finish");
    return 1;
}

int optionChecked(int id) {
    int checked = 0;
    getCheck(getControlWindow(id), &checked);
    return checked;
}

void openInstalled(const char* relative) {
    char path[pathBytes];
    if (composeInstalledPath(relative, path)) ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWDEFAULT);
}

int finish() {
    enable(idRightButton, FALSE);
    InvalidateRect(getControlWindow(idRightButton), nullptr, TRUE);
    if (optionChecked(idCreateShortcuts)) createDesktopShortcuts();
    if (optionChecked(idCreateGroup)) createProgramGroup();
    if (optionChecked(idRunProgram)) openInstalled(installState.lists.programToRun);
    if (optionChecked(idViewHelp)) openInstalled(installState.lists.helpFile);
    if (optionChecked(idVisitWebsite))
        ShellExecuteA(nullptr, "open", installState.lists.websiteUrl, nullptr, nullptr, SW_SHOWDEFAULT);
    DestroyWindow(installWindows.mainWindow);
    return 1;
}

}  // namespace

int getCheck(HWND checkBox, int* checked) {
    *checked = SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return 1;
}

int setCheck(HWND checkBox, int state) {
    SendMessageA(checkBox, BM_SETCHECK, state == 1 ? 1 : 0, 0);
    return 1;
}

int showCurrentStep() {
    switch (installState.currentStep) {
        case 0: return showLicenceStep();
        case 1: return showDestinationStep();
        case 2: return showInstallingStep();
        case 3: return showCompleteStep();
        case 4: return showOptionsStep();
        case 5: return finish();
    }
    return 1;
}
