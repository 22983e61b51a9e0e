// Removal of one installation: the listed shortcuts, program group, files,
// directories and uninstall key, and nothing else.
//
// Every path is composed from a known base folder and the list's names and
// folders (which the list reader has checked: no drive, no colon, no "..")
// into buffers of removalPathLimit + 1 bytes; a path that would be longer is
// passed over. Files are deleted only when listed; directories and group
// folders are removed only when empty, deepest first, so whatever the user
// added stays together with the folders on the way to it. A shortcut is
// deleted only when it still points into the destination: one that the user
// has since pointed elsewhere is not ours any more.
//
// Threads: any one thread at a time (it initialises COM for itself, to read
// shortcuts). Memory: nothing is kept; the report is the caller's record.
#pragma once

#include <stdint.h>

#include "uninstall_list/uninstall_list.h"

enum RemovalLimits {
    removalPathLimit = 260,     // text bytes of any composed path
    removalReportBytes = 2048,  // the report's list of what stayed
};

// The base folders, each ending in a backslash.
struct RemovalPlaces {
    char destination[removalPathLimit + 1];     // the uninstaller's own folder
    char desktop[removalPathLimit + 1];         // the user's desktop; "" when unknown
    char commonPrograms[removalPathLimit + 1];  // common start-menu programs; "" when unknown
    char keyParent[removalPathLimit + 1];       // under HKEY_LOCAL_MACHINE, without backslash at the end
};

// What stayed. Files that were already gone, shortcuts that point elsewhere
// and folders that still hold something are not counted: they are not failures.
struct RemovalReport {
    uint32_t filesLeft;       // listed files present that could not be deleted
    uint32_t shortcutsLeft;   // our shortcuts that could not be deleted
    int keyRemoved;           // 1: the uninstall key is gone, was never there, or
                              // names another uninstaller (which keeps it)
    char left[removalReportBytes];  // their paths, one per line, as many as fit
    uint32_t leftNotShown;    // paths that did not fit into left
};

// Called after every step: steps done, steps in all, the path just handled.
typedef void (*RemovalProgress)(void* context, uint32_t done, uint32_t total, const char* path);

// The standard places for an uninstaller at uninstallerPath: its folder, the
// shell's desktop and common programs folders, and the system's uninstall
// list "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall". Returns 1, or 0
// when the uninstaller's folder does not fit (the shell folders may be "").
int findRemovalPlaces(const char* uninstallerPath, RemovalPlaces* places);

// Removes, in this order: the desktop shortcuts ("{DESKTOP}" locations; other
// tokens are passed over), the group's items and "Uninstall.lnk", the group
// folders and the group folder as far as empty, the files, the directories
// (not the destination itself, which holds the uninstaller) as far as empty,
// and, only when no file stayed, the uninstall key, unless its
// "UninstallString" names another uninstaller than the one in the
// destination (the product installed again elsewhere). progress may be null.
// Returns 1 when nothing stayed, 0 otherwise (the report says what).
int removeInstallation(const UninstallList* list, const RemovalPlaces* places, RemovalProgress progress,
                       void* context, RemovalReport* report);
