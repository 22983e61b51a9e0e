#include "engine/install_state.h"

#include <string.h>

#include "util/blocks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <stdlib.h>
#endif

InstallState installState;

void resetInstallState() { memset(&installState, 0, sizeof installState); }

#ifdef _WIN32
int createStateMutex() {
    installState.stateMutex = CreateMutexA(nullptr, FALSE, nullptr);
    return installState.stateMutex != nullptr;
}
void lockState() { WaitForSingleObject((HANDLE)installState.stateMutex, INFINITE); }
void unlockState() { ReleaseMutex((HANDLE)installState.stateMutex); }
#else
int createStateMutex() {
    pthread_mutex_t* mutex = (pthread_mutex_t*)malloc(sizeof(pthread_mutex_t));
    if (!mutex || pthread_mutex_init(mutex, nullptr) != 0) {
        free(mutex);
        return 0;
    }
    installState.stateMutex = mutex;
    return 1;
}
void lockState() { pthread_mutex_lock((pthread_mutex_t*)installState.stateMutex); }
void unlockState() { pthread_mutex_unlock((pthread_mutex_t*)installState.stateMutex); }
#endif

int getModulePath(char** out) {
    *out = installState.modulePath;
    return 1;
}

int getLicenceText(char** out) {
    *out = installState.header.licenceText[0] ? installState.header.licenceText : nullptr;
    return 1;
}

char* getDestinationPath() { return installState.destinationPath; }

static const char* stateText(StateText which) {
    const PackageHeader& h = installState.header;
    const PayloadLists& l = installState.lists;
    switch (which) {
        case TEXT_INSTALLER_TITLE: return h.installerTitle;
        case TEXT_PUBLISHER: return h.publisher;
        case TEXT_PRODUCT_NAME: return h.productName;
        case TEXT_PRODUCT_VERSION: return h.productVersion;
        case TEXT_DISPLAY_NAME: return h.displayName;
        case TEXT_BASE_FOLDER_TOKEN: return h.baseFolderToken;
        case TEXT_DEFAULT_FOLDER_NAME: return h.defaultFolderName;
        case TEXT_PROGRAM_GROUP_NAME: return l.programGroupName;
        case TEXT_WEBSITE_URL: return l.websiteUrl;
        case TEXT_PROGRAM_TO_RUN: return l.programToRun;
        case TEXT_HELP_FILE: return l.helpFile;
        case TEXT_FINISH_TEXT: return l.finishText;
    }
    return "";
}

int copyStateText(StateText which, char* buffer, uint32_t capacity) {
    return copyText(buffer, capacity, stateText(which));
}

int hasStateText(StateText which) { return stateText(which)[0] != '\0'; }
int hasShortcuts() { return installState.lists.shortcutsHead != nullptr; }

uint32_t getWorkerRunning() { return installState.workerRunning; }
uint32_t getExtractionDone() { return installState.extractionDone; }
uint32_t getRequiredSpace() { return installState.header.requiredSpace; }
ListNode* getShortcuts() { return installState.lists.shortcutsHead; }
ListNode* getGroupEntries() { return installState.lists.groupEntriesHead; }
void* getWorkerThread() { return installState.workerThread; }

uint32_t loadKeepExtracting() { return __atomic_load_n(&installState.keepExtracting, __ATOMIC_SEQ_CST); }
void storeKeepExtracting(uint32_t value) { __atomic_store_n(&installState.keepExtracting, value, __ATOMIC_SEQ_CST); }

int requestStop() {
    storeKeepExtracting(0);
    return 1;
}

int nextStep() {
    if (installState.currentStep < 5) installState.currentStep++;
    return 1;
}

int previousStep() {
    if (installState.currentStep > 0) installState.currentStep--;
    return 1;
}
