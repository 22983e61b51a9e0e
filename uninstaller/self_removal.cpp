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
// Names tried for the copy's folder before giving up: more than one only when
// someone made folders of those names first.
enum { kFolderAttempts = 16 };

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

// Deletes a file (DeleteFileA) or an empty folder (RemoveDirectoryA),
// retrying while another program still holds it: the ended original for a
// while, or under Wine a program that looks into the folder.
int removeWhenFree(BOOL(WINAPI* remove)(LPCSTR), const char* path) {
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        if (remove(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;
        Sleep(kDeleteRetryMs);
    }
    return 0;
}

typedef BOOLEAN(WINAPI* RandomFn)(PVOID buffer, ULONG length);

// 64 bits from the system's random source (XP and later, looked up at run
// time); on Windows 2000 the clocks and ids mixed, which could be guessed,
// but a name that is taken is never used anyway.
unsigned long long randomBits(unsigned attempt) {
    unsigned long long bits = 0;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    RandomFn random = advapi ? (RandomFn)(void (*)())GetProcAddress(advapi, "SystemFunction036") : nullptr;
    if (random && random(&bits, sizeof bits)) return bits;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    bits = (unsigned long long)counter.QuadPart ^ ((unsigned long long)GetTickCount() << 32) ^
           ((unsigned long long)GetCurrentProcessId() << 16) ^ GetCurrentThreadId() ^ attempt;
    bits = (bits ^ (bits >> 31)) * 0x9E3779B97F4A7C15ull;  // spreads the few changing bits over all
    return bits ^ (bits >> 29);
}

// The copy in a folder of its own; nothing stays when it cannot be made.
int copyToRunFolder(const char* ownPath, char* folder, char* copyPath) {
    char parent[removalPathLimit + 1];
    DWORD length = GetTempPathA(sizeof parent, parent);
    if (length == 0 || length >= sizeof parent || !makeRunFolder(parent, folder, removalPathLimit + 1)) return 0;
    if (copyText(copyPath, removalPathLimit + 1, folder) &&
        appendText(copyPath, removalPathLimit + 1, "\\" CLEANUP_COPY_NAME) && CopyFileA(ownPath, copyPath, TRUE))
        return 1;
    if (copyPath[0]) DeleteFileA(copyPath);
    RemoveDirectoryA(folder);
    return 0;
}

}  // namespace

int makeRunFolder(const char* parent, char* folder, size_t capacity) {
    char name[32];
    for (unsigned attempt = 0; attempt < kFolderAttempts; ++attempt) {
        unsigned long long bits = randomBits(attempt);
        _snprintf(name, sizeof name, "halv-%08lx%08lx", (unsigned long)(bits >> 32), (unsigned long)bits);
        name[sizeof name - 1] = '\0';
        if (!copyText(folder, capacity, parent) || !appendText(folder, capacity, name)) break;
        if (CreateDirectoryA(folder, nullptr)) return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (capacity) folder[0] = '\0';
    return 0;
}

int isUninstallerPath(const char* path) {
    const char* name = path ? strrchr(path, '\\') : nullptr;
    return name && name != path && lstrcmpiA(name + 1, UNINSTALLER_FILE_NAME) == 0;
}

int isCleanupRequest(const char* commandLine) {
    return commandLine && strncmp(commandLine, kCleanupSwitch, strlen(kCleanupSwitch)) == 0;
}

int startSelfRemoval(const char* ownPath) {
    char folder[removalPathLimit + 1], copyPath[removalPathLimit + 1] = "";
    char commandLine[3 * removalPathLimit];
    if (!ownPath || !copyToRunFolder(ownPath, folder, copyPath)) return 0;
    // Opened for deletion on close and inherited: the system deletes the copy
    // once the copy has ended (where it cannot, the copy asks for the next
    // restart), and no one can write to it meanwhile. A failure here only
    // leaves that to the restart.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE copyFile = CreateFileA(copyPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE self = OpenProcess(SYNCHRONIZE, TRUE, GetCurrentProcessId());
    _snprintf(commandLine, sizeof commandLine, "\"%s\" %s%lu \"%s\"", copyPath, kCleanupSwitch,
              (unsigned long)(ULONG_PTR)self, ownPath);
    commandLine[sizeof commandLine - 1] = '\0';
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // none: only the process handle is meant for the copy
    PROCESS_INFORMATION started;
    int running = self && CreateProcessA(copyPath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, folder, &startup,
                                         &started);
    if (copyFile != INVALID_HANDLE_VALUE) CloseHandle(copyFile);
    if (!running) {
        if (self) CloseHandle(self);
        DeleteFileA(copyPath);
        RemoveDirectoryA(folder);
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
    int deleted = removeWhenFree(DeleteFileA, path);
    copyText(folder, sizeof folder, path);
    *strrchr(folder, '\\') = '\0';
    if (deleted) RemoveDirectoryA(folder);
    return deleted;
}

int removeOwnCopy() {
    char self[removalPathLimit + 1], folder[removalPathLimit + 1];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) return 0;
    const char* name = strrchr(self, '\\');
    if (!name || lstrcmpiA(name + 1, CLEANUP_COPY_NAME) != 0) return 0;
    copyText(folder, sizeof folder, self);
    folder[name - self] = '\0';
    // A folder that is some program's working folder cannot be removed.
    SetCurrentDirectoryA("..");
    if (DeleteFileA(self) && removeWhenFree(RemoveDirectoryA, folder)) return 1;
    // The running file stays until this process ends, when the handle the
    // original opened for deletion on close goes; its folder, still holding
    // it now, has no one left to remove it then. The restart takes what is
    // left, the file before its folder.
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 0;
}
