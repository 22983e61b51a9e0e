#include "engine/extraction.h"

#include <limits.h>
#include <string.h>

#include "controls/progress_bar.h"
#include "engine/install_paths.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "engine/setup_messages.h"
#include "package/decompressor.h"
#include "package/package_format.h"
#include "wizard/control_table.h"

// Manual-reset event, signalled while the worker may run. The worker waits on
// it only at points where it holds no lock of its own, the C runtime's or the
// system's, so the main thread can show a message box meanwhile. The word
// beside it spares the worker a kernel call per block while nobody asks it
// to pause (under Wine every wait is a round trip to the server).
static HANDLE workerGate;
static uint32_t pauseRequested;

static void waitWhilePaused() {
    if (workerGate && __atomic_load_n(&pauseRequested, __ATOMIC_SEQ_CST)) {
        WaitForSingleObject(workerGate, INFINITE);
    }
}

int pauseWorker() {
    if (workerGate) ResetEvent(workerGate);
    __atomic_store_n(&pauseRequested, 1, __ATOMIC_SEQ_CST);
    return 1;
}

int resumeWorker() {
    __atomic_store_n(&pauseRequested, 0, __ATOMIC_SEQ_CST);
    if (workerGate) SetEvent(workerGate);
    return 1;
}

static void setControlText(int id, const char* text) {
    HWND control = getControlWindow(id);
    if (control) SendMessageA(control, WM_SETTEXT, 0, (LPARAM)text);
}

int reportProgress(int32_t done, int32_t total) {
    waitWhilePaused();
    // done * 100 / total truncated toward zero; no total, a negative whole
    // number or anything above 100 shows a full bar. Integers, not doubles:
    // the x87 unit of the 32-bit program would round 29 / 100 * 100 to 29
    // where SSE gives 28.999..., and the two builds would move the bar apart.
    const int64_t scaled = total != 0 ? (int64_t)done * 100 / total : -1;
    const uint32_t percent = scaled >= 0 && scaled <= 100 ? (uint32_t)scaled : 100;
    if (percent != installState.lastProgressPercent) {
        HWND bar = getControlWindow(CONTROL_PROGRESS);
        if (bar) {
            PostMessageA(bar, PBB_SETPOS, percent, 0);
            InvalidateRect(bar, nullptr, TRUE);
        }
        installState.lastProgressPercent = percent;
    }
    return loadKeepExtracting() != 0;
}

// The expansion reads and writes 4096 bytes at a time, and so the progress
// bar moves; the files themselves travel to and from the system in blocks of
// this size, through buffers that only the worker uses.
enum : size_t { kTransferBlock = 64 * 1024 };
static char installerBuffer[kTransferBlock];
static char outputFileBuffer[kTransferBlock];

FILE* openFileTable(char* buffer, size_t size) {
    FILE* installer = fopen(installState.modulePath, "rb");
    if (installer && buffer) setvbuf(installer, buffer, _IOFBF, size);
    uint32_t offset = fileTableOffset(&installState.header);
    if (installer && (offset > (uint32_t)LONG_MAX || fseek(installer, (long)offset, SEEK_SET) != 0)) {
        fclose(installer);
        installer = nullptr;
    }
    return installer;
}

// Reads the next record and builds the path it installs to. Returns 0 when
// the record cannot be read, names a directory the package does not have, or
// would leave the destination or the path limit; nothing is written then.
static int readCheckedRecord(FILE* installer, FileRecordHead* record, char* path, int isUninstaller) {
    const PackageHeader& header = installState.header;
    if (!readFileRecordHead(installer, record) || !isContainedPath(record->name)) return 0;
    if (isUninstaller) return joinInstallPath(path, installState.destinationPath, record->name, nullptr);
    if (record->directoryIndex >= header.directoryCount) return 0;
    const char* directory = header.directories[record->directoryIndex];
    if (!isContainedPath(directory)) return 0;
    return joinInstallPath(path, installState.destinationPath, directory, record->name);
}

enum FileOutcome { FILE_NOT_CREATED, FILE_INCOMPLETE, FILE_COMPLETE };

// Creates path (replacing a file of that name) and expands the record's
// stream into it. A complete file also leaves the installer file exactly at
// the next record, which the forward pass depends on.
static FileOutcome writeRecordFile(FILE* installer, const FileRecordHead* record, const char* path,
                                   ProgressCallback progress) {
    FILE* output = fopen(path, "wb");
    if (!output) return FILE_NOT_CREATED;
    setvbuf(output, outputFileBuffer, _IOFBF, sizeof outputFileBuffer);
    int complete = 1;
    if (record->compressedSize != 0) {
        long start = ftell(installer);
        complete = start >= 0 && record->compressedSize <= (uint32_t)INT32_MAX &&
                   record->uncompressedSize <= (uint32_t)INT32_MAX &&
                   expandStream(installer, (int32_t)start, (int32_t)record->compressedSize,
                                (int32_t)record->uncompressedSize, output, progress) &&
                   (long long)ftell(installer) == (long long)start + record->compressedSize;
    } else if (progress) {
        progress(1, 1);
    }
    // The buffer goes out here, and a full disk shows here: flushed and
    // checked before the close, whose own report of it some C libraries
    // lose (Wine's msvcrt returns 0 after a failed final write).
    if (fflush(output) != 0 || ferror(output)) complete = 0;
    if (fclose(output) != 0) complete = 0;
    return complete ? FILE_COMPLETE : FILE_INCOMPLETE;
}

enum StepOutcome { STEP_GO_ON, STEP_CANCELLED, STEP_FAILED };

static StepOutcome extractFileRecord(FILE* installer) {
    waitWhilePaused();
    installState.currentFileNumber++;
    char text[installPathLimit + 40];
    wsprintfA(text, "Extracting file %d of %d...", (int)installState.currentFileNumber,
              (int)installState.header.fileCount);
    setControlText(CONTROL_STATUS_UPPER, text);

    FileRecordHead record;
    char path[installPathLimit + 1];
    if (!readCheckedRecord(installer, &record, path, 0)) return STEP_FAILED;
    wsprintfA(text, "Extracting file: %s", record.name);
    setControlText(CONTROL_STATUS_LOWER, text);

    FileOutcome outcome = writeRecordFile(installer, &record, path, reportProgress);
    if (outcome == FILE_NOT_CREATED) return STEP_FAILED;
    lockState();
    uint32_t keepExtracting = loadKeepExtracting();
    unlockState();
    if (!keepExtracting) return STEP_CANCELLED;
    return outcome == FILE_COMPLETE ? STEP_GO_ON : STEP_FAILED;
}

// The uninstaller goes to the destination folder itself, whatever its record
// says; it moves no status line and cannot be cancelled.
static int extractUninstaller(FILE* installer) {
    FileRecordHead record;
    char path[installPathLimit + 1];
    if (!readCheckedRecord(installer, &record, path, 1)) return 0;
    return writeRecordFile(installer, &record, path, nullptr) == FILE_COMPLETE;
}

// Every early way out: the main window learns of it (wParam 1 makes it show
// the fatal-error message) and removes what was written.
static DWORD endWorker(FILE* installer, WPARAM fatal) {
    if (installer) fclose(installer);
    lockState();
    installState.workerRunning = 0;
    unlockState();
    PostMessageA(getMainWindow(), WM_SETUP_FAILED, fatal, 0);
    return 0;
}

static void showExtractedCount() {
    char text[64];
    uint32_t count = installState.header.fileCount;
    wsprintfA(text, count == 1 ? "Extracted %d file." : "Extracted %d files.", (int)count);
    setControlText(CONTROL_STATUS_UPPER, text);
    setControlText(CONTROL_STATUS_LOWER, "");
}

DWORD WINAPI extractionWorker(LPVOID) {
    lockState();
    installState.workerRunning = 1;
    unlockState();
    FILE* installer = openFileTable(installerBuffer, sizeof installerBuffer);
    if (!installer) return endWorker(nullptr, 1);

    for (uint32_t i = 0; i < installState.header.fileCount; ++i) {
        StepOutcome outcome = extractFileRecord(installer);
        if (outcome != STEP_GO_ON) return endWorker(installer, outcome == STEP_FAILED);
    }
    if (!extractUninstaller(installer) || !readPayloadLists(installer, &installState.lists)) {
        return endWorker(installer, 1);
    }
    fclose(installer);
    showExtractedCount();

    lockState();
    installState.workerRunning = 0;
    installState.extractionDone = 1;
    uint32_t keepExtracting = loadKeepExtracting();
    unlockState();
    PostMessageA(getMainWindow(), keepExtracting ? WM_SETUP_EXTRACTED : WM_SETUP_FAILED, 0, 0);
    return 0;
}

static void createPackageDirectories() {
    const PackageHeader& header = installState.header;
    char path[installPathLimit + 1];
    for (uint32_t i = 0; i < header.directoryCount; ++i) {
        if (isContainedPath(header.directories[i]) &&
            joinInstallPath(path, installState.destinationPath, "\\", header.directories[i]) &&
            CreateDirectoryA(path, nullptr)) {
            installState.directoriesMade[i / 8] |= (uint8_t)(1u << (i % 8));
        }
    }
}

static int refuseStart() {
    PostMessageA(getMainWindow(), WM_SETUP_FAILED, 1, 0);
    return 0;
}

int startExtraction() {
    FILE* installer = fopen(installState.modulePath, "rb");
    if (!installer) return refuseStart();
    storeKeepExtracting(1);
    createPackageDirectories();
    fclose(installer);

    if (!workerGate) workerGate = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!workerGate) return refuseStart();
    resumeWorker();
    // Running from here on, not only once the thread gets to its first step:
    // a cancel in between must leave the stop to the worker, which will
    // report it, instead of starting a removal beside it.
    lockState();
    installState.workerRunning = 1;
    unlockState();
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, extractionWorker, nullptr, 0, &threadId);
    if (!thread) {
        lockState();
        installState.workerRunning = 0;
        unlockState();
        return refuseStart();
    }
    installState.workerThread = thread;
    installState.workerThreadId = threadId;
    return 1;
}
