#include "engine/shortcut.h"

#include <string.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "engine/destination.h"
#include "engine/install_paths.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "util/blocks.h"

// The three published identifiers of the shell-link object, defined here so
// that the program does not link the system's whole GUID library (about 40 KiB).
static const CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID shellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Hands the configured link to its IPersistFile. Returns 0 when the object
// has none or the file name cannot be converted.
static int saveLink(IShellLinkA* link, const char* filePath) {
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(persistFileInterface, (void**)&file))) return 0;
    WCHAR widePath[installPathLimit + 1];
    int converted = MultiByteToWideChar(CP_ACP, 0, filePath, -1, widePath, installPathLimit + 1) != 0;
    if (converted) file->Save(widePath, FALSE);
    file->Release();
    return converted;
}

int createShortcut(const char* baseFolder, const char* target, const char* linkFolder, const char* linkName) {
    if (!target || !linkFolder || !linkName) return 0;
    char targetPath[installPathLimit + 1];
    char filePath[installPathLimit + 1];
    if (!joinInstallPath(targetPath, baseFolder, target, nullptr) ||
        !joinInstallPath(filePath, linkFolder, linkName, nullptr)) {
        return 0;
    }
    // Called on every use and never undone: the main thread stays an
    // apartment for the rest of the run.
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                                (void**)&link))) {
        return 0;
    }
    link->SetPath(targetPath);
    link->SetDescription("");
    link->SetWorkingDirectory(baseFolder ? baseFolder : "");
    link->SetArguments("");
    int handed = saveLink(link, filePath);
    link->Release();
    return handed;
}

int composeInstalledPath(const char* relative, char* path) {
    char folder[installPathLimit + 1];
    copyText(folder, sizeof folder, installState.destinationPath);
    size_t length = strlen(folder);
    if (length == 0 || !relative) return 0;
    folder[length - 1] = '\0';
    return joinInstallPath(path, folder, relative, nullptr);
}

int splitInstalledTarget(const char* relativeTarget, char* baseFolder, char* fileName) {
    char full[installPathLimit + 1];
    if (!composeInstalledPath(relativeTarget, full)) return 0;
    char* lastBackslash = strrchr(full, '\\');
    const char* name = lastBackslash ? lastBackslash + 1 : full;
    copyText(fileName, installPathLimit + 1, name);
    size_t folderLength = (size_t)(name - full);
    memcpy(baseFolder, full, folderLength);
    baseFolder[folderLength] = '\0';
    return 1;
}

int createInstalledShortcut(const char* relativeTarget, const char* name, const char* linkFolder) {
    char baseFolder[installPathLimit + 1];
    char fileName[installPathLimit + 1];
    char linkName[installPathLimit + 1];
    if (!name || !isContainedPath(name) || !splitInstalledTarget(relativeTarget, baseFolder, fileName) ||
        !joinInstallPath(linkName, name, ".lnk", nullptr)) {
        return 0;
    }
    return createShortcut(baseFolder, fileName, linkFolder, linkName);
}

// A special folder of the shell, ending in a backslash. Returns 0 when the
// shell has no such folder.
static int specialFolder(int folderId, char* folder) {
    char found[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(getMainWindow(), folderId, nullptr, 0, found))) return 0;
    return copyText(folder, installPathLimit + 1, found) && ensureTrailingBackslash(folder, installPathLimit + 1);
}

int createDesktopShortcuts() {
    char desktop[installPathLimit + 1];
    int haveDesktop = 0;
    int created = 0;
    for (ListNode* node = installState.lists.shortcutsHead; node; node = node->next) {
        const ShortcutRecord* record = (const ShortcutRecord*)node;
        if (!record->location || lstrcmpiA(record->location, "{DESKTOP}") != 0) continue;
        if (!haveDesktop && !specialFolder(CSIDL_DESKTOPDIRECTORY, desktop)) return created;
        haveDesktop = 1;
        created += createInstalledShortcut(record->target, record->name, desktop);
    }
    return created;
}

static int createGroupFolder(const char* groupRoot, const GroupFolderRecord* record) {
    char folder[installPathLimit + 1];
    if (!record->folder || !isContainedPath(record->folder) ||
        !joinInstallPath(folder, groupRoot, record->folder, nullptr) ||
        !ensureTrailingBackslash(folder, installPathLimit + 1)) {
        return 0;
    }
    CreateDirectoryA(folder, nullptr);
    int created = 0;
    for (ListNode* node = record->firstItem; node; node = node->next) {
        const GroupItemRecord* item = (const GroupItemRecord*)node;
        created += createInstalledShortcut(item->target, item->name, folder);
    }
    return created;
}

int createProgramGroup() {
    char groupRoot[installPathLimit + 1];
    const char* groupName = installState.lists.programGroupName;
    if (!isContainedPath(groupName) || !specialFolder(CSIDL_COMMON_PROGRAMS, groupRoot) ||
        !appendText(groupRoot, sizeof groupRoot, groupName)) {
        return 0;
    }
    int created = 0;
    for (ListNode* node = installState.lists.groupEntriesHead; node; node = node->next) {
        created += createGroupFolder(groupRoot, (const GroupFolderRecord*)node);
    }
    char linkFolder[installPathLimit + 1];
    copyText(linkFolder, sizeof linkFolder, groupRoot);
    if (ensureTrailingBackslash(linkFolder, sizeof linkFolder)) {
        created += createShortcut(installState.destinationPath, UNINSTALLER_FILE_NAME, linkFolder, "Uninstall.lnk");
    }
    return created;
}
