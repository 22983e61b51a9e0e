// Removal of the uninstaller's own file, which a running program cannot
// delete: the uninstaller copies itself into the temporary folder and starts
// the copy with "/cleanup", an inherited handle to its own process and its own
// path, then ends. The copy waits for that process to end, deletes the
// original, removes the original's folder when it is empty, and has the
// system delete the copy itself at the next restart.
//
// Threads: the main thread, at the very end (startSelfRemoval) or as the whole
// run of the copy (runCleanup). Memory: nothing is allocated.
#pragma once

// Starts the copy for the uninstaller at ownPath. Returns 1 when the copy
// runs (the caller should end now, which is what it waits for), 0 when no
// copy could be made or started (nothing is left behind then).
int startSelfRemoval(const char* ownPath);

// 1 when path names a file called "HalvUninstaller.exe" (any letter case) in
// some folder: the only name an installation gives its uninstaller. The
// temporary copy has another name, so it can never be taken for one.
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

// The clean-up run of the copy, last part: asks the system to delete the
// running program's own file at the next restart. Returns 1 when accepted.
int scheduleOwnDeletion();
