// The destination folder (destinationPath) and the free space on its drive:
// the default folder from the package header, the folder browser, the
// free-space verdict, and two path operations the wizard uses on Install.
//
// Threads: main thread only (they write destinationPath, enoughSpace and the
// destination step's controls 4, 9 and 14). Nothing returned needs freeing.
#pragma once

#include <stdint.h>

// Platform codes that createDirectoryPath returns besides 0.
enum DirectoryPathResult {
    directoryPathCreated = 0,
    directoryPathExisted = 183,     // ERROR_ALREADY_EXISTS
    directoryPathRefused = 3,       // ERROR_PATH_NOT_FOUND
};

// destinationPath = the program-files folder when baseFolderToken is
// "{PROGRAM_FILES}" (whole text, any letter case), else the token itself;
// then appendDefaultFolderName; then control 4 shows it and checkFreeSpace
// runs. Returns the result of checkFreeSpace.
int resolveDefaultDestination();

// Appends defaultFolderName to path (a buffer of 261 bytes), each ending in a
// backslash. Returns 1, or 0 when the result would exceed 260 bytes (path
// then only gains its own trailing backslash, when that fits).
int appendDefaultFolderName(char* path);

// Lets the user pick a file-system folder with the shell's folder browser
// (owner mainWindow). A chosen folder, ending in a backslash, becomes
// destinationPath, goes into control 4, and checkFreeSpace runs; a cancel
// changes nothing. Returns 1.
int browseForDestination();

// Reads the total free bytes of destinationPath's drive (the first three
// characters; 0 when the query fails), sets enoughSpace and the verdict in
// control 14, and the formatted figure in control 9. Returns 1, or 0 when the
// figure cannot be formatted (nothing changes then).
int checkFreeSpace();

// The verdict: 1 when freeBytes is at least requiredSpace.
int spaceSuffices(uint64_t freeBytes, uint32_t requiredSpace);

// Ends path in a backslash. Returns 1 when it does so afterwards; 0 when path
// is null, capacity is 0, or the text is capacity - 1 bytes or longer (even
// when it already ends in a backslash); path is unchanged then.
int ensureTrailingBackslash(char* path, uint32_t capacity);

// Creates every missing directory of path that a backslash follows, parent
// first. Returns 0 when at least one was created; 183 when all existed, or
// path is empty; 3 when path is null or longer than 260 bytes, a directory
// cannot be created, or a component exists as a file (the directories this
// call created are removed again then). *madeFrom, when given, receives the
// length of the first directory created (without its backslash), or 0.
int createDirectoryPath(const char* path, uint32_t* madeFrom = nullptr);

// Removes, deepest first, the directories of path that a backslash follows
// whose length is madeFrom or more, as far as they are empty: what
// createDirectoryPath made. Nothing happens when madeFrom is 0.
void removeMadePath(const char* path, uint32_t madeFrom);
