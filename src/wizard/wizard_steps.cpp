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
    return MessageBoxA(installWindows.mainWindow, text, systemName, flags);
}

int showLicenceStep() {
    showGroup(1);
    hideGroup(2);
    hideGroup(3);
    setText(CONTROL_LEFT_BUTTON, "Exit");
    setText(CONTROL_RIGHT_BUTTON, "I Agree");
    setButtonIcon(CONTROL_LEFT_BUTTON, 9);
    SetFocus(getControlWindow(CONTROL_LEFT_BUTTON));
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
    setText(CONTROL_SPACE_NEEDED, required);
    freeBlock((void**)&required);
    setText(CONTROL_LEFT_BUTTON, installState.hasLicence ? "Back" : "Exit");
    setButtonIcon(CONTROL_LEFT_BUTTON, 10);
    setText(CONTROL_RIGHT_BUTTON, "Install");
    enable(CONTROL_RIGHT_BUTTON, TRUE);
    enable(CONTROL_BROWSE, TRUE);
    enable(CONTROL_DESTINATION_TEXT, TRUE);
    enable(CONTROL_DESTINATION_LABEL, TRUE);
    SetFocus(getControlWindow(CONTROL_RIGHT_BUTTON));
    return 1;
}

// The destination is accepted when its folders exist or could be made, and
// the drive has room; otherwise the step goes back to 1 with the page as is
// and the folders made for it are gone again.
int acceptDestination() {
    char* destination = getDestinationPath();
    SendMessageA(getControlWindow(CONTROL_DESTINATION_TEXT), WM_GETTEXT, pathBytes - 1, (LPARAM)destination);
    ensureTrailingBackslash(destination, pathBytes);
    uint32_t madeFrom = 0;
    int created = createDirectoryPath(destination, &madeFrom);
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
        removeMadePath(destination, madeFrom);
        previousStep();
        char message[600] = "There is insufficient space to install ";
        appendText(message, sizeof message, installState.header.productName);
        appendText(message, sizeof message,
                   " on the selected drive.\nPlease free up some space on the selected drive and press Refresh, "
                   "or choose another drive.");
        say(message, MB_ICONERROR);
        return 0;
    }
    installState.destinationMadeFrom = madeFrom;
    return 1;
}

int showInstallingStep() {
    if (!acceptDestination()) return 1;
    hideGroup(3);
    showGroup(2);
    showGroup(4);
    hideGroup(5);
    setText(CONTROL_LEFT_BUTTON, "Cancel");
    enable(CONTROL_RIGHT_BUTTON, FALSE);  // before its caption: "Next" is never enabled early
    setText(CONTROL_RIGHT_BUTTON, "Next");
    enable(CONTROL_BROWSE, FALSE);
    enable(CONTROL_DESTINATION_TEXT, FALSE);
    enable(CONTROL_DESTINATION_LABEL, FALSE);
    setText(CONTROL_INSTALLING, installingText);
    setButtonIcon(CONTROL_LEFT_BUTTON, 9);
    registerUninstallEntry();
    startExtraction();
    return 1;
}

int showCompleteStep() {
    showGroup(4);
    showGroup(2);
    showGroup(5);
    hideGroup(6);
    enable(CONTROL_RIGHT_BUTTON, TRUE);
    setText(CONTROL_COMPLETE, completeText);
    // The web address comes with the closing strings, which the extraction
    // reads last: the entry gets its links only now.
    if (installState.lists.websiteUrl[0]) registerUninstallEntry();
    SetFocus(getControlWindow(CONTROL_RIGHT_BUTTON));
    return 1;
}

int optionOffered(int id) {
    switch (id) {
        case CONTROL_OPTION_SHORTCUTS: return hasShortcuts();
        case CONTROL_OPTION_GROUP: return hasStateText(TEXT_PROGRAM_GROUP_NAME);
        case CONTROL_OPTION_HELP: return hasStateText(TEXT_HELP_FILE);
        case CONTROL_OPTION_RUN: return hasStateText(TEXT_PROGRAM_TO_RUN);
        case CONTROL_OPTION_WEBSITE: return hasStateText(TEXT_WEBSITE_URL);
    }
    return 0;
}

int showOptionsStep() {
    hideGroup(4);
    hideGroup(2);
    hideGroup(5);
    int y = 6;
    for (int id = CONTROL_OPTION_SHORTCUTS; id <= CONTROL_OPTION_WEBSITE; ++id) {
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
        setText(CONTROL_FINISH_TEXT, installState.lists.finishText);
        ShowWindow(getControlWindow(CONTROL_FINISH_TEXT), SW_SHOW);
    }
    setText(CONTROL_RIGHT_BUTTON, "Finish");
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
    enable(CONTROL_RIGHT_BUTTON, FALSE);
    InvalidateRect(getControlWindow(CONTROL_RIGHT_BUTTON), nullptr, TRUE);
    if (optionChecked(CONTROL_OPTION_SHORTCUTS)) createDesktopShortcuts();
    if (optionChecked(CONTROL_OPTION_GROUP)) createProgramGroup();
    if (optionChecked(CONTROL_OPTION_RUN)) openInstalled(installState.lists.programToRun);
    if (optionChecked(CONTROL_OPTION_HELP)) openInstalled(installState.lists.helpFile);
    if (optionChecked(CONTROL_OPTION_WEBSITE))
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
