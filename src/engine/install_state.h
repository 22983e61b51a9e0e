// The installer's one process-wide state: what the package says, the lists
// read after the files, the worker's flags, the wizard's step and the paths.
//
// Threads: the main thread writes the header fields before any background
// thread exists; afterwards they are read-only. workerRunning and
// extractionDone are changed only under lockState. keepExtracting is a single
// word that goes from 1 to 0 during a run (requestStop) and is read without
// the lock. Memory: nothing in the state is freed before the process ends.
// Window-system resources (fonts, icons, windows) live with the wizard.
// Portable: the lock is a Win32 mutex on Windows and a pthread mutex elsewhere.
#pragma once

#include <stdint.h>

#include "package/package_format.h"

struct InstallState {
    PackageHeader header;          // filled by readPackageHeader at window creation
    PayloadLists lists;            // filled by the extraction worker after the files

    uint32_t currentFileNumber;    // 1-based number of the file being extracted
    uint32_t workerRunning;        // under the lock
    uint32_t extractionDone;       // under the lock
    uint32_t lastProgressPercent;  // written by the progress callback only
    uint32_t keepExtracting;       // atomic word: see loadKeepExtracting
    void* workerThread;            // thread handle of the extraction worker
    uint32_t workerThreadId;       // id of the last background thread started

    int32_t currentStep;           // wizard step 0..5
    uint32_t hasLicence;
    uint32_t enoughSpace;
    char destinationPath[kPathCapacity + 1];  // ends in a backslash once chosen
    // What this run made, so that a failed installation takes away exactly
    // that: the length of the first folder of destinationPath that the wizard
    // created (0 when the whole path existed), and one bit per package
    // directory that startExtraction created.
    uint32_t destinationMadeFrom;
    uint8_t directoriesMade[(kMaxDirectories + 8) / 8];
    char modulePath[kPathCapacity + 1];       // the installer's own file

    void* stateMutex;
};

// The process-wide instance, zero-filled at start.
extern InstallState installState;

// Zero-fills the state (a fresh run; tests use it between cases).
void resetInstallState();

// Creates the unnamed, unowned lock. Returns 1, or 0 when it cannot be made.
int createStateMutex();
void lockState();     // waits without time-out
void unlockState();

int getModulePath(char** out);     // *out = modulePath; returns 1
int getLicenceText(char** out);    // *out = licence text, or null when empty; returns 1
char* getDestinationPath();        // the live buffer

// The string fields that callers copy out rather than read in place.
enum StateText {
    TEXT_INSTALLER_TITLE,
    TEXT_PUBLISHER,
    TEXT_PRODUCT_NAME,
    TEXT_PRODUCT_VERSION,
    TEXT_DISPLAY_NAME,             // needs 800 bytes
    TEXT_BASE_FOLDER_TOKEN,
    TEXT_DEFAULT_FOLDER_NAME,
    TEXT_PROGRAM_GROUP_NAME,
    TEXT_WEBSITE_URL,
    TEXT_PROGRAM_TO_RUN,
    TEXT_HELP_FILE,
    TEXT_FINISH_TEXT,
};

// Copies the field with its terminator into buffer (capacity bytes).
// Returns 1, or 0 when it does not fit (buffer then holds an empty string).
int copyStateText(StateText which, char* buffer, uint32_t capacity);

// 1 when the field holds text, else 0 (TEXT_PROGRAM_GROUP_NAME, TEXT_HELP_FILE,
// TEXT_PROGRAM_TO_RUN, TEXT_WEBSITE_URL, or any other field).
int hasStateText(StateText which);
int hasShortcuts();

uint32_t getWorkerRunning();
uint32_t getExtractionDone();
uint32_t getRequiredSpace();
ListNode* getShortcuts();
ListNode* getGroupEntries();
void* getWorkerThread();

uint32_t loadKeepExtracting();
void storeKeepExtracting(uint32_t value);
int requestStop();                 // keepExtracting = 0; returns 1

int nextStep();                    // at most 5; returns 1
int previousStep();                // at least 0; returns 1
