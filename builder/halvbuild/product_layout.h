// What goes into the installer, derived from a manifest and the files it
// names: the header fields, the directory list, the files in package order
// and the data after the files.
//
// planProduct expands the manifest's sources, derives the directory list
// ("\" first, then every other directory as "\a\b\", parents before
// children, sorted), sorts the files (by directory, then by name, byte
// order) so that the same inputs always give the same installer, and checks
// everything the installer relies on: names Windows can create, no way out
// of the destination, no two files or directories that Windows would take
// for one (letter case ignored), the 260-byte path limit under the default
// destination, the licence size, the directory count, shortcut targets that
// are installed files.
//
// Threads: any thread. Memory: the caller owns the returned record.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "halvbuild/build_error.h"
#include "halvbuild/manifest.h"
#include "writer/package_writer.h"

// One file of the product, in package order.
struct PlannedFile {
    std::string source;        // path on this machine (UTF-8)
    std::string shown;         // the path as the manifest wrote it, for messages
    uint32_t directoryIndex = 0;
    std::string name;          // Windows-1252, no backslash
    uint64_t size = 0;         // bytes when planned; packing checks it again
    ManifestSpot spot;         // the [[files]] entry that brought it
};

struct ProductLayout {
    PackageHeaderFields header;        // requiredSpace still 0: see setRequiredSpace
    std::vector<PlannedFile> files;
    TrailingData trailing;
    std::string defaultDestination;    // the longest usual form, for the path checks
    uint64_t productBytes = 0;         // sum of the files' sizes
};

// The Program Files folder that the path checks assume for "{PROGRAM_FILES}".
constexpr const char* kAssumedProgramFiles = "C:\\Program Files\\";
// The common start-menu programs folder that the group checks assume.
constexpr const char* kAssumedCommonPrograms =
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\";
// The longest path (without terminator) of a file the installer writes.
constexpr size_t kMaxInstalledPath = 260;
// CreateDirectoryA refuses ANSI paths of more than 247 characters.
constexpr size_t kMaxCreatedDirectory = 247;

// Builds the layout for manifest. Throws BuildError naming the manifest line
// and field (and the file, where one is at fault) for every rule above, for a
// source that matches nothing or cannot be read, and for a licence that is
// not text or is over 16384 bytes.
ProductLayout planProduct(const Manifest& manifest);

// Sets header.requiredSpace to the product's bytes plus the uninstaller's.
// Throws BuildError when the sum does not fit the 32-bit field.
void setRequiredSpace(ProductLayout* layout, uint64_t uninstallerSize);

// The default destination the installer would propose on a usual system,
// ending in a backslash: the base folder ("{PROGRAM_FILES}" taken as
// kAssumedProgramFiles, any other token as it stands), a backslash, the
// folder name and a backslash (no backslash doubled).
std::string assumedDestination(const std::string& baseFolder, const std::string& folderName);

// Checks one file or folder name as Windows would create it; returns an
// empty text when it is fine, else why not ("is a reserved device name", ...).
std::string nameProblem(const std::string& name);
