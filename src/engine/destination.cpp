#include "engine/destination.h"

#include <string.h>
#include <windows.h>
#include <shlobj.h>

#include "engine/install_paths.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "util/blocks.h"
#include "util/size_format.h"
#include "wizard/control_table.h"

static void setControlText(int id, const char* text) {
    HWND control = getControlWindow(id);
    if (control) SendMessageA(control, WM_SETTEXT, 0, (LPARAM)text);
}

int ensureTrailingBackslash(char* path, uint32_t capacity) {
    if (!path || capacity == 0) return 0;
    size_t length = strlen(path);
    if (length >= capacity - 1) return 0;
    if (length > 0 && path[length - 1] == '\\') return 1;
    path[length] = '\\';
    path[length + 1] = '\0';
    return 1;
}

int appendDefaultFolderName(char* path) {
    char name[installPathLimit + 1];
    copyText(name, sizeof name, installState.header.defaultFolderName);
    ensureTrailingBackslash(path, installPathLimit + 1);
    if (!ensureTrailingBackslash(name, sizeof name)) return 0;
    return appendText(path, installPathLimit + 1, name);
}

int resolveDefaultDestination() {
    char* destination = installState.destinationPath;
    const char* token = installState.header.baseFolderToken;
    destination[0] = '\0';
    if (lstrcmpiA(token, "{PROGRAM_FILES}") == 0) {
        char folder[MAX_PATH] = "";
        if (SUCCEEDED(SHGetFolderPathA(getMainWindow(), CSIDL_PROGRAM_FILES, nullptr, 0, folder))) {
            copyText(destination, installPathLimit + 1, folder);
        }
    } else {
        copyText(destination, installPathLimit + 1, token);
    }
    appendDefaultFolderName(destination);
    setControlText(CONTROL_DESTINATION_TEXT, destination);
    return checkFreeSpace();
}

// The folder the user picked, or an empty text after a cancel.
static void askForFolder(char* folder) {
    char displayName[MAX_PATH];
    BROWSEINFOA browse;
    memset(&browse, 0, sizeof browse);
    browse.hwndOwner = getMainWindow();
    browse.pszDisplayName = displayName;
    browse.lpszTitle = "Select a destination directory";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    folder[0] = '\0';
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (!chosen) return;
    if (!SHGetPathFromIDListA(chosen, folder)) folder[0] = '\0';
    IMalloc* shellMemory = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMemory))) {
        shellMemory->Free(chosen);
        shellMemory->Release();
    }
}

int browseForDestination() {
    char folder[MAX_PATH + 1];
    askForFolder(folder);
    if (!folder[0] || !ensureTrailingBackslash(folder, installPathLimit + 1)) return 1;
    copyText(installState.destinationPath, installPathLimit + 1, folder);
    setControlText(CONTROL_DESTINATION_TEXT, folder);
    checkFreeSpace();
    return 1;
}

int spaceSuffices(uint64_t freeBytes, uint32_t requiredSpace) {
    return (freeBytes >> 32) > 0 || (uint32_t)freeBytes >= requiredSpace;
}

int checkFreeSpace() {
    char root[4];
    memcpy(root, installState.destinationPath, 3);
    root[3] = '\0';
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &totalFree)) totalFree.QuadPart = 0;
    char* text = formatSize(totalFree.LowPart, totalFree.HighPart);
    if (!text) return 0;
    installState.enoughSpace = spaceSuffices(totalFree.QuadPart, installState.header.requiredSpace);
    setControlText(CONTROL_SPACE_VERDICT, installState.enoughSpace
                                              ? "There is sufficient space to install."
                                              : "There is insufficient space to install.");
    setControlText(CONTROL_FREE_SPACE, text);
    freeBlock((void**)&text);
    return 1;
}

int createDirectoryPath(const char* path, uint32_t* madeFrom) {
    if (madeFrom) *madeFrom = 0;
    if (!path) return directoryPathRefused;
    size_t length = strlen(path);
    if (length > installPathLimit) return directoryPathRefused;
    char prefix[installPathLimit + 1];
    uint32_t firstMade = 0;
    for (size_t i = 0; i < length; ++i) {
        if (path[i] != '\\') continue;
        memcpy(prefix, path, i);
        prefix[i] = '\0';
        DWORD attributes = GetFileAttributesA(prefix);
        int refused = 0;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            refused = !CreateDirectoryA(prefix, nullptr);
            if (!refused && !firstMade) firstMade = (uint32_t)i;
        } else {
            refused = !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        if (refused) {
            removeMadePath(prefix, firstMade);
            return directoryPathRefused;
        }
    }
    if (madeFrom) *madeFrom = firstMade;
    return firstMade ? directoryPathCreated : directoryPathExisted;
}

void removeMadePath(const char* path, uint32_t madeFrom) {
    if (!madeFrom) return;
    char prefix[installPathLimit + 1];
    size_t length = strlen(path);
    if (length > installPathLimit) return;
    memcpy(prefix, path, length + 1);
    for (size_t i = length; i-- > madeFrom;) {
        if (prefix[i] != '\\') continue;
        prefix[i] = '\0';
        RemoveDirectoryA(prefix);
    }
    prefix[madeFrom] = '\0';
    RemoveDirectoryA(prefix);
}
