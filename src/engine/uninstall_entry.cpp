#include "engine/uninstall_entry.h"

#include <string.h>
#include <windows.h>

#include "engine/install_state.h"
#include "package/package_format.h"
#include "util/blocks.h"

// A registry key name holds at most 255 characters.
enum { keyNameLimit = 255, keyPathCapacity = sizeof UNINSTALL_LIST_KEY + 1 + keyNameLimit + 1 };

static char createdKeyPath[keyPathCapacity];

static int setText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1) == ERROR_SUCCESS;
}

static int setNumber(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value) == ERROR_SUCCESS;
}

// "<a> <b>" into text (capacity bytes). Returns 0 when it does not fit.
static int joinWithBlank(char* text, size_t capacity, const char* first, const char* second) {
    return copyText(text, capacity, first) && appendText(text, capacity, " ") &&
           appendText(text, capacity, second);
}

static int buildKeyPath(char* path) {
    const PackageHeader& header = installState.header;
    char name[3 * kPathCapacity];
    if (!joinWithBlank(name, sizeof name, header.publisher, header.productName) ||
        !appendText(name, sizeof name, " ") || !appendText(name, sizeof name, header.productVersion)) {
        return 0;
    }
    if (strlen(name) > keyNameLimit || strchr(name, '\\')) return 0;
    return copyText(path, keyPathCapacity, UNINSTALL_LIST_KEY "\\") && appendText(path, keyPathCapacity, name);
}

// Values of the document's list first, in their order, then the ones the
// list of installed programs reads besides.
static int writeValues(HKEY key) {
    const PackageHeader& header = installState.header;
    const char* destination = installState.destinationPath;
    const char* website = installState.lists.websiteUrl;
    char displayName[2 * kPathCapacity];
    char uninstaller[kPathCapacity + 32];
    char icon[kPathCapacity + 32];
    char quoted[kPathCapacity + 32];
    char location[kPathCapacity + 1];
    joinWithBlank(displayName, sizeof displayName, header.productName, header.productVersion);
    copyText(uninstaller, sizeof uninstaller, destination);
    appendText(uninstaller, sizeof uninstaller, UNINSTALLER_FILE_NAME);
    copyText(icon, sizeof icon, uninstaller);
    appendText(icon, sizeof icon, ",0");
    copyText(quoted, sizeof quoted, "\"");
    appendText(quoted, sizeof quoted, uninstaller);
    appendText(quoted, sizeof quoted, "\"");
    copyText(location, sizeof location, destination);
    size_t length = strlen(location);
    if (length > 3 && location[length - 1] == '\\') location[length - 1] = '\0';

    DWORD estimatedKiB = (DWORD)(((uint64_t)header.requiredSpace + 1023) / 1024);
    return setText(key, "DisplayName", displayName) && setText(key, "DisplayIcon", icon) &&
           setText(key, "UninstallString", quoted) && setText(key, "Publisher", header.publisher) &&
           setText(key, "Version", header.productVersion) &&
           (!website[0] || (setText(key, "URLInfoAbout", website) && setText(key, "HelpLink", website))) &&
           setText(key, "DisplayVersion", header.productVersion) &&
           setText(key, "InstallLocation", location) && setNumber(key, "EstimatedSize", estimatedKiB) &&
           setNumber(key, "NoModify", 1) && setNumber(key, "NoRepair", 1);
}

int registerUninstallEntry() {
    const PackageHeader& header = installState.header;
    if (!header.publisher[0] || !header.productName[0] || !header.productVersion[0] ||
        !installState.destinationPath[0]) {
        return 0;
    }
    char path[keyPathCapacity];
    if (!buildKeyPath(path)) return 0;
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    if (disposition == REG_CREATED_NEW_KEY) copyText(createdKeyPath, sizeof createdKeyPath, path);
    int written = writeValues(key);
    RegCloseKey(key);
    return written;
}

int removeCreatedUninstallEntry() {
    if (!createdKeyPath[0]) return 0;
    int deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, createdKeyPath) == ERROR_SUCCESS;
    createdKeyPath[0] = '\0';
    return deleted;
}
