// Shell shortcut files (".lnk"): one link per createShortcut, and the
// wizard's finishing actions built on it (the desktop shortcuts and the
// program group of the package).
//
// Threads: main thread only; the first call initialises COM there as a
// single-threaded apartment and it stays initialised. Nothing returned needs
// freeing.
#pragma once

#include "package/package_format.h"

// Saves linkFolder + linkName as a new shortcut whose target is baseFolder +
// target (target alone when baseFolder is null) and whose working directory
// is baseFolder. Returns 1 when the link was handed to the shell-link object
// for saving (a failing save, such as into a missing folder, is not
// noticed); 0 when target, linkFolder or linkName is missing, baseFolder +
// target or linkFolder + linkName exceeds 260 bytes, or the shell-link object
// or its IPersistFile cannot be had (no file is written then).
int createShortcut(const char* baseFolder, const char* target, const char* linkFolder, const char* linkName);

// Splits the installed file destinationPath (without its backslash) +
// relativeTarget into the folder up to its last backslash (baseFolder) and
// the name behind it (fileName); both buffers hold 261 bytes. Returns 0 when
// the full path would exceed 260 bytes.
int splitInstalledTarget(const char* relativeTarget, char* baseFolder, char* fileName);

// A shortcut to the installed relativeTarget, named name + ".lnk", in
// linkFolder (ending in a backslash). Returns 0, writing nothing, when a
// composed path would exceed 260 bytes; else createShortcut's result.
int createInstalledShortcut(const char* relativeTarget, const char* name, const char* linkFolder);

// The desktop shortcuts of the package's shortcut list, in list order. A
// record whose location is not "{DESKTOP}" (any letter case) is skipped, as
// is any whose paths would exceed 260 bytes. Returns the number of links
// handed to the shell.
int createDesktopShortcuts();

// The program group under the common start-menu programs folder: each group
// folder (created when missing) with its items, then "Uninstall.lnk" for the
// uninstaller in the group folder. A folder or item whose path would exceed
// 260 bytes, or that would leave the group folder, is skipped. Returns the
// number of links handed to the shell.
int createProgramGroup();

// destinationPath without its trailing backslash, followed by relative (which
// begins with a backslash), into path (261 bytes): the program to run or the
// help file. Returns 0 when it would exceed 260 bytes.
int composeInstalledPath(const char* relative, char* path);
