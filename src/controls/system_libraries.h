// Where the programs may load libraries from. A program run from a download
// or temporary folder must not take a library of a system name from that
// folder or from the working folder, so both programs narrow the search once,
// first thing at start-up, and load every library they name at run time by
// its full path in the system directory.
//
// Threads: restrictLibrarySearch on the main thread before any other thread
// or library load; loadSystemLibrary from any thread. The libraries stay
// loaded until the process ends; nothing here is freed.
#pragma once

#include <windows.h>

// Takes the program's own folder and the working folder out of the search
// for every library loaded from now on, process-wide: the system directory
// only where SetDefaultDllDirectories exists (Vista and later, and earlier
// systems with the update that brought it); else, where SetDllDirectoryA
// exists (XP SP1 and later), at least the working folder. Both are looked up
// at run time, so the program still loads on Windows 2000, where neither is
// there and nothing changes. Returns 1 when the search was restricted to the
// system directory, 2 when only the working folder was taken out, 0 when
// nothing could be changed.
int restrictLibrarySearch();

// Loads the library called name (a bare file name such as "uxtheme.dll")
// from the system directory, by its full path. Returns the module, or null
// when the name is empty or holds a path separator, the full path would not
// fit in MAX_PATH, or the library is not there.
HMODULE loadSystemLibrary(const char* name);
