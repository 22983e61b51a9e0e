#include "uninstaller/removal.h"

#include <string.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "package/package_format.h"
#include "util/blocks.h"

namespace {

const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Removal {
    const UninstallList* list;
    const RemovalPlaces* places;
    RemovalProgress progress;
    void* context;
    RemovalReport* report;
    uint32_t done;
    uint32_t total;
};

// base + relative (its leading backslash dropped, since base ends in one) +
// name + suffix, any of the last three may be null. 0 when it does not fit.
int composePath(char* path, const char* base, const char* relative, const char* name, const char* suffix) {
    const size_t capacity = removalPathLimit + 1;
    if (!base || !base[0] || !copyText(path, capacity, base)) return 0;
    if (relative && !appendText(path, capacity, relative[0] == '\\' ? relative + 1 : relative)) return 0;
    if (name && !appendText(path, capacity, name)) return 0;
    return !suffix || appendText(path, capacity, suffix);
}

int ensureBackslash(char* path) {
    size_t length = strlen(path);
    return (length > 0 && path[length - 1] == '\\') || appendText(path, removalPathLimit + 1, "\\");
}

void step(Removal* removal, const char* path) {
    ++removal->done;
    if (removal->progress) removal->progress(removal->context, removal->done, removal->total, path);
}

void noteLeft(RemovalReport* report, const char* path) {
    size_t used = strlen(report->left);
    size_t length = strlen(path);
    if (used + length + 2 > sizeof report->left) {
        ++report->leftNotShown;
        return;
    }
    memcpy(report->left + used, path, length);
    memcpy(report->left + used + length, "\n", 2);
}

// The text with every run of backslashes taken as one, for comparing paths
// that the shell may have stored with doubled separators.
void collapseBackslashes(char* out, const char* text) {
    size_t n = 0;
    for (const char* c = text; *c && n < removalPathLimit; ++c)
        if (!(*c == '\\' && n > 0 && out[n - 1] == '\\')) out[n++] = *c;
    out[n] = '\0';
}

int isInsideFolder(const char* path, const char* folder) {
    char a[removalPathLimit + 1], b[removalPathLimit + 1];
    collapseBackslashes(a, path);
    collapseBackslashes(b, folder);
    size_t length = strlen(b);
    return length > 0 && _strnicmp(a, b, length) == 0;
}

// 1 when the shortcut at linkPath opens something inside folder. A link that
// cannot be read is not known to be ours, and stays.
int shortcutPointsInto(const char* linkPath, const char* folder) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
        return 0;
    int inside = 0;
    IPersistFile* file = nullptr;
    WCHAR widePath[removalPathLimit + 1];
    char target[MAX_PATH + 1] = "";
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
        if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, removalPathLimit + 1) &&
            SUCCEEDED(file->Load(widePath, STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
            inside = isInsideFolder(target, folder);
        file->Release();
    }
    link->Release();
    return inside;
}

void removeShortcut(Removal* removal, const char* linkPath) {
    DWORD attributes = GetFileAttributesA(linkPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        shortcutPointsInto(linkPath, removal->places->destination) && !DeleteFileA(linkPath)) {
        ++removal->report->shortcutsLeft;
        noteLeft(removal->report, linkPath);
    }
    step(removal, linkPath);
}

void removeDesktopShortcuts(Removal* removal) {
    char path[removalPathLimit + 1];
    for (uint32_t i = 0; i < removal->list->shortcutCount; ++i) {
        const UninstallShortcut* shortcut = &removal->list->shortcuts[i];
        if (lstrcmpiA(shortcut->location, "{DESKTOP}") == 0 &&
            composePath(path, removal->places->desktop, nullptr, shortcut->name, ".lnk"))
            removeShortcut(removal, path);
        else
            step(removal, shortcut->name);
    }
}

int depthOf(const char* folder) {
    int depth = 0;
    for (const char* c = folder; *c; ++c)
        if (*c == '\\' && c[1]) ++depth;
    return depth;
}

int deepestOf(const char* const* folders, uint32_t count, uint32_t stride) {
    int deepest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int depth = depthOf(*(const char* const*)((const char*)folders + (size_t)i * stride));
        if (depth > deepest) deepest = depth;
    }
    return deepest;
}

// Removes each folder below base, deepest first; a folder that still holds
// anything stays (the system refuses to remove it). Folders of depth 0, the
// base itself, are left to the caller. stride walks records whose first member
// is the folder text.
void removeEmptyFolders(Removal* removal, const char* base, const char* const* folders, uint32_t count,
                        uint32_t stride) {
    char path[removalPathLimit + 1];
    for (int depth = deepestOf(folders, count, stride); depth > 0; --depth) {
        for (uint32_t i = 0; i < count; ++i) {
            const char* folder = *(const char* const*)((const char*)folders + (size_t)i * stride);
            if (depthOf(folder) != depth) continue;
            if (composePath(path, base, folder, nullptr, nullptr)) RemoveDirectoryA(path);
            step(removal, folder);
        }
    }
    for (uint32_t i = 0; i < count; ++i)
        if (depthOf(*(const char* const*)((const char*)folders + (size_t)i * stride)) == 0) step(removal, base);
}

void removeGroup(Removal* removal) {
    const UninstallList* list = removal->list;
    char root[removalPathLimit + 1], folder[removalPathLimit + 1], path[removalPathLimit + 1];
    if (!list->groupName[0]) return;
    if (!composePath(root, removal->places->commonPrograms, nullptr, list->groupName, "\\")) root[0] = '\0';
    for (uint32_t i = 0; i < list->groupFolderCount; ++i) {
        const UninstallGroupFolder* group = &list->groupFolders[i];
        int haveFolder =
            root[0] && composePath(folder, root, group->folder, nullptr, nullptr) && ensureBackslash(folder);
        for (uint32_t j = 0; j < group->itemCount; ++j) {
            if (haveFolder && composePath(path, folder, nullptr, group->items[j], ".lnk"))
                removeShortcut(removal, path);
            else
                step(removal, group->items[j]);
        }
    }
    if (root[0] && composePath(path, root, nullptr, "Uninstall.lnk", nullptr))
        removeShortcut(removal, path);
    else
        step(removal, "Uninstall.lnk");
    if (!root[0]) return;
    removeEmptyFolders(removal, root, &list->groupFolders[0].folder, list->groupFolderCount,
                       sizeof(UninstallGroupFolder));
    RemoveDirectoryA(root);
}

void removeFiles(Removal* removal) {
    const UninstallList* list = removal->list;
    char path[removalPathLimit + 1];
    for (uint32_t i = 0; i < list->fileCount; ++i) {
        const UninstallFile* file = &list->files[i];
        if (!composePath(path, removal->places->destination, list->directories[file->directoryIndex], file->name,
                         nullptr)) {
            step(removal, file->name);  // never installed: the installer refuses such a path too
            continue;
        }
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !DeleteFileA(path)) {
            ++removal->report->filesLeft;
            noteLeft(removal->report, path);
        }
        step(removal, path);
    }
}

// 1 when the key's "UninstallString" names another uninstaller than ours: the
// same product installed again elsewhere has taken the key over.
int keyBelongsElsewhere(const char* key, const char* destination) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return 0;
    char command[2 * removalPathLimit] = "";
    DWORD type = 0, size = sizeof command - 1;
    LONG read = RegQueryValueExA(opened, "UninstallString", nullptr, &type, (BYTE*)command, &size);
    RegCloseKey(opened);
    if (read == ERROR_MORE_DATA) return 1;  // longer than any path of ours
    if (read != ERROR_SUCCESS || type != REG_SZ) return 0;
    command[size < sizeof command ? size : sizeof command - 1] = '\0';
    const char* path = command[0] == '"' ? command + 1 : command;
    size_t length = strlen(path);
    if (command[0] == '"' && length > 0 && path[length - 1] == '"') --length;
    char ours[removalPathLimit + 1];
    if (!composePath(ours, destination, nullptr, UNINSTALLER_FILE_NAME, nullptr)) return 0;
    return length != strlen(ours) || _strnicmp(path, ours, length) != 0;
}

void removeKey(Removal* removal) {
    char key[removalPathLimit + 1];
    removal->report->keyRemoved = 0;
    if (removal->report->filesLeft == 0 && copyText(key, sizeof key, removal->places->keyParent) &&
        appendText(key, sizeof key, "\\") && appendText(key, sizeof key, removal->list->keyName)) {
        LONG result = keyBelongsElsewhere(key, removal->places->destination) ? ERROR_FILE_NOT_FOUND
                                                                              : RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        removal->report->keyRemoved = result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    step(removal, removal->list->keyName);
}

uint32_t countSteps(const UninstallList* list) {
    uint32_t steps = list->shortcutCount + list->fileCount + list->directoryCount + 1;
    if (list->groupName[0]) {
        steps += 1 + list->groupFolderCount;
        for (uint32_t i = 0; i < list->groupFolderCount; ++i) steps += list->groupFolders[i].itemCount;
    }
    return steps;
}

int folderOf(char* folder, const char* path) {
    const char* lastBackslash = strrchr(path, '\\');
    if (!lastBackslash || (size_t)(lastBackslash - path) + 1 > removalPathLimit) return 0;
    memcpy(folder, path, (size_t)(lastBackslash - path) + 1);
    folder[lastBackslash - path + 1] = '\0';
    return 1;
}

void shellFolder(int folderId, char* folder) {
    char found[MAX_PATH + 1] = "";
    if (FAILED(SHGetFolderPathA(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, found)) || !found[0] ||
        !copyText(folder, removalPathLimit + 1, found) || !ensureBackslash(folder))
        folder[0] = '\0';
}

}  // namespace

int findRemovalPlaces(const char* uninstallerPath, RemovalPlaces* places) {
    memset(places, 0, sizeof *places);
    if (!uninstallerPath || !folderOf(places->destination, uninstallerPath)) return 0;
    shellFolder(CSIDL_DESKTOPDIRECTORY, places->desktop);
    shellFolder(CSIDL_COMMON_PROGRAMS, places->commonPrograms);
    copyText(places->keyParent, sizeof places->keyParent, kUninstallList);
    return 1;
}

int removeInstallation(const UninstallList* list, const RemovalPlaces* places, RemovalProgress progress,
                       void* context, RemovalReport* report) {
    memset(report, 0, sizeof *report);
    Removal removal = {list, places, progress, context, report, 0, countSteps(list)};
    HRESULT com = CoInitialize(nullptr);
    removeDesktopShortcuts(&removal);
    removeGroup(&removal);
    if (SUCCEEDED(com)) CoUninitialize();
    removeFiles(&removal);
    removeEmptyFolders(&removal, places->destination, list->directories, list->directoryCount, sizeof(char*));
    removeKey(&removal);
    return report->filesLeft == 0 && report->shortcutsLeft == 0 && report->keyRemoved;
}
