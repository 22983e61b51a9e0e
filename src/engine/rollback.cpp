#include "engine/rollback.h"

#include <limits.h>
#include <string.h>

#include "engine/destination.h"
#include "engine/extraction.h"
#include "engine/install_paths.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "engine/setup_messages.h"
#include "engine/uninstall_entry.h"
#include "package/package_format.h"

static int isDotEntry(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Looks at every entry of directory and removes the empty subtrees among
// them. Returns 1 when nothing in directory has to stay.
static int emptySubtrees(const char* directory, HANDLE search, WIN32_FIND_DATAA* entry) {
    int removable = 1;
    char child[installPathLimit + 1];
    do {
        if (isDotEntry(entry->cFileName)) continue;
        if (entry->dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY ||
            !joinInstallPath(child, directory, entry->cFileName, "\\") || !removeEmptyTree(child)) {
            removable = 0;
        }
    } while (FindNextFileA(search, entry));
    return removable;
}

int removeEmptyTree(const char* directory) {
    DWORD attributes = GetFileAttributesA(directory);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    char pattern[installPathLimit + 1];
    if (!joinInstallPath(pattern, directory, "*", nullptr)) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 1;
    int removable = emptySubtrees(directory, search, &entry);
    FindClose(search);
    if (!removable) return 0;
    RemoveDirectoryA(directory);
    return 1;
}

// The path the record's file was written to: the uninstaller always lies in
// the destination folder itself. Returns 0 for a record the extraction would
// have refused before writing anything.
static int recordPath(const FileRecordHead* record, int isUninstaller, char* path) {
    if (!isContainedPath(record->name)) return 0;
    if (isUninstaller) return joinInstallPath(path, installState.destinationPath, record->name, nullptr);
    if (record->directoryIndex >= installState.header.directoryCount) return 0;
    const char* directory = installState.header.directories[record->directoryIndex];
    return isContainedPath(directory) &&
           joinInstallPath(path, installState.destinationPath, directory, record->name);
}

static int deleteBegunFiles(FILE* installer) {
    uint32_t count = installState.currentFileNumber;
    if (count == installState.header.fileCount) installState.currentFileNumber = ++count;
    for (uint32_t i = 0; i < count; ++i) {
        FileRecordHead record;
        char path[installPathLimit + 1];
        if (!readFileRecordHead(installer, &record)) return 0;
        if (!recordPath(&record, i == installState.header.fileCount, path)) return 0;
        DeleteFileA(path);
        if (record.compressedSize > (uint32_t)LONG_MAX ||
            fseek(installer, (long)record.compressedSize, SEEK_CUR) != 0) {
            return 0;
        }
        reportProgress((int32_t)i, (int32_t)count);
    }
    return 1;
}

// Removes what this run made and nothing else: the destination with the
// folders made for it when the wizard created it, otherwise the package
// directories startExtraction created, as far as they hold no files.
static void removeMadeDirectories() {
    const char* destination = installState.destinationPath;
    if (installState.destinationMadeFrom) {
        removeEmptyTree(destination);
        removeMadePath(destination, installState.destinationMadeFrom);
        return;
    }
    char path[installPathLimit + 1];
    for (uint32_t i = installState.header.directoryCount; i-- > 0;) {
        if ((installState.directoriesMade[i / 8] >> (i % 8) & 1) &&
            joinInstallPath(path, destination, installState.header.directories[i], nullptr)) {
            removeEmptyTree(path);
        }
    }
}

DWORD WINAPI rollbackWorker(LPVOID) {
    reportProgress(0, 1);
    // It seeks past every stream, so a large buffer would only be read again.
    FILE* installer = openFileTable(nullptr, 0);
    int complete = installer && deleteBegunFiles(installer);
    if (installer) fclose(installer);
    if (complete) reportProgress(1, 1);
    // Only empty directories go, so this is safe after an early stop as well:
    // the directories made for the package never outlive a failed installation.
    removeMadeDirectories();
    removeCreatedUninstallEntry();
    PostMessageA(getMainWindow(), WM_SETUP_REMOVED, complete ? 0 : 1, 0);
    return complete;
}

int startRollback() {
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, rollbackWorker, nullptr, 0, &threadId);
    if (!thread) {
        PostMessageA(getMainWindow(), WM_SETUP_REMOVED, 1, 0);
        return 0;
    }
    installState.workerThreadId = threadId;
    CloseHandle(thread);
    return 1;
}
