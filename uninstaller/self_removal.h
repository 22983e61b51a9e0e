// Removal of the uninstaller's own file, which a running program cannot
// delete: the uninstaller copies itself into a folder of its own, made for
// this run under the temporary folder with a name no one can guess in advance
// (a folder that already exists is never used), and starts the copy there,
// with that folder as its working folder, with "/cleanup", an inherited
// handle to its own process and its own path; then it ends. The copy waits
// for that process to end, deletes the original and removes the original's
// folder when it is empty. The copy's file is opened for deletion on close
// before it starts, and the copy inherits that handle, so the file goes when
// the copy ends; its folder, which cannot go before the file, is left to the
// next restart (and the file too, where the system keeps it).
//
// Threads: the main thread, at the very end (startSelfRemoval) or as the whole
// run of the copy (removeOriginal, then removeOwnCopy). Memory: nothing is allocated.
#pragma once

#include <stddef.h>

// The file name of the temporary copy inside its folder.
#define CLEANUP_COPY_NAME "HalvCleanup.exe"

// Makes a new, empty folder under parent (which ends in a backslash) with a
// random name, retrying with another name while the name is taken, and
// writes its path, without a trailing backslash, to folder (capacity bytes).
// Returns 1, or 0 when the path would not fit or no folder could be made.
int makeRunFolder(const char* parent, char* folder, size_t capacity);

// Starts the copy for the uninstaller at ownPath. Returns 1 when the copy
// runs (the caller should end now, which is what it waits for), 0 when no
// copy could be made or started (nothing is left behind then).
int startSelfRemoval(const char* ownPath);

// 1 when path names a file called "HalvUninstaller.exe" (any letter case) in
// some folder: the only name an installation gives its uninstaller. The
// temporary copy has another name (CLEANUP_COPY_NAME), so it can never be
// taken for one.
int isUninstallerPath(const char* path);

// 1 when commandLine (the program's arguments, without its own name) asks
// for the clean-up run.
int isCleanupRequest(const char* commandLine);

// The clean-up run of the copy, first part. commandLine is
// "/cleanup HANDLE "PATH"", as startSelfRemoval writes it: waits for the
// process behind HANDLE to end (a handle that is not valid only shortens the
// wait), deletes PATH, retrying for a few seconds, then removes its folder
// when empty. Only a file named "HalvUninstaller.exe" is ever deleted.
// Returns 1 when the original is gone, 0 when the request is malformed or
// the file stayed.
int removeOriginal(const char* commandLine);

// The clean-up run of the copy, last part: removes the running program's
// own file and its folder when that file is CLEANUP_COPY_NAME (a program of
// another name is left alone). What cannot go at once (a running program's
// file and so its folder) is handed to the system to delete at the next
// restart, the file before its folder. Returns 1 when both are gone now.
int removeOwnCopy();
