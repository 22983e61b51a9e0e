// Builds the uninstaller that an installation carries: the uninstaller
// program with the installation's uninstall list, its trailer and checksum
// appended (the layout is described in uninstall_list/uninstall_list.h).
//
// halvbuild fills an UninstallData from what it packs and calls
// buildUninstaller; the result is what the package's uninstaller record holds.
//
// Threads: any thread; no state. Memory: results belong to the caller.
// Failures throw std::invalid_argument naming the offending entry.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "writer/package_writer.h"

struct UninstallFileEntry {
    uint32_t directoryIndex = 0;  // into UninstallData::directories
    std::string name;             // file name, no backslash
};

struct UninstallShortcutEntry {
    std::string location;         // "{DESKTOP}"
    std::string name;             // without ".lnk"
};

struct UninstallGroupFolderEntry {
    std::string folder;           // relative to the group: "\" or "\Documents"
    std::vector<std::string> items;  // shortcut names without ".lnk"
};

// What the installation puts where. Strings are 8-bit text as the package
// stores them, each at most 259 bytes; names and folders follow the rules of
// uninstall_list/uninstall_list.h.
struct UninstallData {
    std::string productName;      // shown in "Remove <product> and all of its components?"
    std::string keyName;          // publisher + " " + product + " " + version
    std::vector<std::string> directories;  // package order; entry 0 is "\"
    std::vector<UninstallFileEntry> files;
    std::vector<UninstallShortcutEntry> shortcuts;
    std::string groupName;        // empty: no program group (and no group folders)
    std::vector<UninstallGroupFolderEntry> groupFolders;
};

// The uninstall list for data, without trailer. Throws std::invalid_argument
// when data breaks a rule that the uninstaller checks: the bytes are parsed
// back with the uninstaller's own reader before they are returned, so the
// uninstaller never meets a list it would refuse.
std::vector<uint8_t> encodeUninstallList(const UninstallData& data);

// program + the uninstall list for data + the 16-byte trailer. Throws
// std::invalid_argument as encodeUninstallList does, when program is empty,
// or when the result would reach 2 GiB.
std::vector<uint8_t> buildUninstaller(const std::vector<uint8_t>& program, const UninstallData& data);

// The uninstall list of a package as the package writer describes it:
// productName from the header; the key name publisher + " " + product + " " +
// version, as the installer names its uninstall key; the header's directories;
// files as given (the package's file table: directory index and name, in
// package order); the trailing data's shortcuts, program group name and group
// folders with their item names. Nothing is checked here: buildUninstaller
// checks the result.
UninstallData uninstallDataFor(const PackageHeaderFields& header, const std::vector<UninstallFileEntry>& files,
                               const TrailingData& trailing);
