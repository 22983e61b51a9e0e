// The product manifest: a TOML file that describes what an installer holds.
//
// loadManifest reads and checks the file on its own terms (known keys, right
// types, strings that Windows-1252 can hold, values within the package's
// limits); product_layout.h then checks it against the files it names. Every
// value keeps the place it came from, so later checks can name it too.
// docs/manifest.md describes the format for publishers.
//
// Threads: any thread; nothing is shared. Memory: the caller owns the
// returned record.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "halvbuild/build_error.h"

// A text value of the manifest and where it stands. Texts that go into the
// package are already Windows-1252; source paths stay UTF-8.
struct ManifestText {
    std::string value;
    ManifestSpot spot;
};

// One [[files]] entry: a file, a folder (its whole tree) or a pattern with
// * and ? in its last part, packed into directory of the destination.
struct ManifestFiles {
    ManifestText source;      // UTF-8, relative to the manifest's folder
    ManifestText directory;   // "" for the destination itself; "/" or "\" separate parts
};

struct ManifestShortcut {
    ManifestText name;
    ManifestText target;      // an installed file, relative to the destination
    ManifestText location;    // "{DESKTOP}"
};

struct ManifestGroupItem {
    ManifestText name;
    ManifestText target;
};

struct ManifestGroupFolder {
    ManifestText folder;      // "" for the group folder itself
    std::vector<ManifestGroupItem> items;
};

struct Manifest {
    std::string path;         // the manifest file, as given
    std::string folder;       // the folder that relative source paths start from
    ManifestText title;
    ManifestText publisher;
    ManifestText product;
    ManifestText version;
    ManifestText baseFolder;  // default "{PROGRAM_FILES}"
    ManifestText folderName;  // default: the product name
    ManifestText licence;     // a file (UTF-8 path); empty: no licence
    std::vector<ManifestFiles> files;
    std::vector<ManifestShortcut> shortcuts;
    ManifestText groupName;   // empty: no program group
    std::vector<ManifestGroupFolder> groupFolders;
    ManifestText website;
    ManifestText program;     // an installed file to offer to run
    ManifestText helpFile;    // an installed file to offer to open
    ManifestText finishText;
};

// The base folder token that stands for the Program Files folder.
constexpr const char* kProgramFilesToken = "{PROGRAM_FILES}";
// The only shortcut location the installer knows.
constexpr const char* kDesktopToken = "{DESKTOP}";

// Reads the manifest at path. Throws BuildError ("FILE:LINE: FIELD: what")
// when the file cannot be read or is not TOML, a key is unknown, a value has
// the wrong type, a required key (title, publisher, product, version) is
// missing, a text is not Windows-1252 or is longer than the package allows.
Manifest loadManifest(const std::string& path);
