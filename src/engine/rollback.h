// Removal of what a failed or cancelled installation wrote: the files whose
// extraction began, the directories this run made as far as they are left
// empty, and the uninstall entry when this run created it. Folders that were
// there before stay, empty or not.
//
// Threads: startRollback runs on the main thread after the extraction worker
// has ended; rollbackWorker runs alone on its own thread and reports only by
// posting WM_SETUP_REMOVED to the main window. removeEmptyTree may run on any
// thread. Nothing is allocated.
#pragma once

#include <windows.h>

// Starts rollbackWorker on a new thread (its id goes to workerThreadId; the
// handle is closed). Returns 1, or 0 when the thread cannot be made, after
// posting WM_SETUP_REMOVED with wParam 1 so that the installer still ends.
int startRollback();

// Deletes, in package order, every file-table file whose extraction began
// (currentFileNumber of them), and the uninstaller too when every record was
// begun; moves the progress bar 0, i * 100 / count after each file, 100;
// removes the directories this run made (destinationMadeFrom,
// directoriesMade) as far as they are empty; removes the uninstall
// entry this run created; posts WM_SETUP_REMOVED. Returns 1 after a complete
// run; 0 when the installer file cannot be read or a record cannot be used
// (deleting stops there, the tree stays, and wParam is 1).
DWORD WINAPI rollbackWorker(LPVOID unused);

// Removes directory (ending in a backslash) and every subdirectory that holds
// no file. A directory that holds anything else (a file, or a directory with
// an attribute besides FILE_ATTRIBUTE_DIRECTORY) stays, and so do the
// directories above it; empty siblings still go. Returns 1 when directory was
// removed or did not exist, 0 when something had to be left.
int removeEmptyTree(const char* directory);
