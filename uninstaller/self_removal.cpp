#include "uninstaller/self_removal.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "package/package_format.h"
#include "uninstaller/removal.h"
#include "util/blocks.h"

namespace {

const char kCleanupSwitch[] = "/cleanup ";

// How long the copy waits for the original to end and for its file to be free.
enum CleanupTimes { kWaitForOriginalMs = 60000, kDeleteAttempts = 50, kDeleteRetryMs = 100 };

// Reads "HANDLE "PATH"" behind the switch. 0 when anything else is there.
int parseRequest(const char* commandLine, HANDLE* process, char* path) {
    const char* end = commandLine + strlen(kCleanupSwitch);
    unsigned long value = 0;
    int digits = 0;
    for (; *end >= '0' && *end <= '9' && digits < 10; ++end, ++digits) value = value * 10 + (unsigned long)(*end - '0');
    if (digits == 0 || *end != ' ' || end[1] != '"') return 0;
    const char* start = end + 2;
    const char* close = strchr(start, '"');
    if (!close || (size_t)(close - start) > removalPathLimit || close[1] != '\0') return 0;
    memcpy(path, start, (size_t)(close - start));
    path[close - start] = '\0';
    *process = (HANDLE)(ULONG_PTR)value;
    return 1;
}

int deleteWhenFree(const char* path) {
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        if (DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;
        Sleep(kDeleteRetryMs);
    }
    return 0;
}

// A fresh name in the temporary folder ending in ".exe"; the ".tmp" file that
// reserved it is deleted once the copy exists.
int copyToTemporaryFolder(const char* ownPath, char* folder, char* copyPath) {
    char reserved[MAX_PATH + 1];
    DWORD length = GetTempPathA(removalPathLimit + 1, folder);
    if (length == 0 || length > removalPathLimit || !GetTempFileNameA(folder, "hun", 0, reserved)) return 0;
    int copied = copyText(copyPath, removalPathLimit + 1, reserved) &&
                 appendText(copyPath, removalPathLimit + 1, ".exe") && CopyFileA(ownPath, copyPath, TRUE);
    DeleteFileA(reserved);
    return copied;
}

}  // namespace

int isUninstallerPath(const char* path) {
    const char* name = path ? strrchr(path, '\\') : nullptr;
    return name && name != path && lstrcmpiA(name + 1, UNINSTALLER_FILE_NAME) == 0;
}

int isCleanupRequest(const char* commandLine) {
    return commandLine && strncmp(commandLine, kCleanupSwitch, strlen(kCleanupSwitch)) == 0;
}

int startSelfRemoval(const char* ownPath) {
    char folder[removalPathLimit + 1], copyPath[removalPathLimit + 1];
    char commandLine[3 * removalPathLimit];
    if (!ownPath || !copyToTemporaryFolder(ownPath, folder, copyPath)) return 0;
    HANDLE self = OpenProcess(SYNCHRONIZE, TRUE, GetCurrentProcessId());
    _snprintf(commandLine, sizeof commandLine, "\"%s\" %s%lu \"%s\"", copyPath, kCleanupSwitch,
              (unsigned long)(ULONG_PTR)self, ownPath);
    commandLine[sizeof commandLine - 1] = '\0';
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    if (!self || !CreateProcessA(copyPath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, folder, &startup,
                                 &started)) {
        if (self) CloseHandle(self);
        DeleteFileA(copyPath);
        return 0;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 1;
}

int removeOriginal(const char* commandLine) {
    HANDLE original = nullptr;
    char path[removalPathLimit + 1], folder[removalPathLimit + 1];
    if (!isCleanupRequest(commandLine) || !parseRequest(commandLine, &original, path) || !isUninstallerPath(path))
        return 0;
    // A handle that did not arrive makes the wait fail at once; the deletion
    // attempts below then give the original its time to end.
    WaitForSingleObject(original, kWaitForOriginalMs);
    CloseHandle(original);
    int deleted = deleteWhenFree(path);
    copyText(folder, sizeof folder, path);
    *strrchr(folder, '\\') = '\0';
    if (deleted) RemoveDirectoryA(folder);
    return deleted;
}

int scheduleOwnDeletion() {
    char self[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    return length > 0 && length < sizeof self && MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
