// The uninstall list: what an installation put where, carried inside the
// uninstaller program itself, and its reader.
//
// The uninstaller file that an installation receives is three pieces:
//
//   the uninstaller program | the uninstall list | a 16-byte trailer
//
// Trailer (u32 little-endian each):
//   listSize    bytes of the uninstall list
//   listOffset  file offset of the uninstall list (the program's length)
//   magic       0x31445548, the bytes "HUD1" in file order
//   checksum    computeFileChecksum over every byte before this word, from
//               checksumSeed (the package's checksum rule)
// A file is whole when listOffset + listSize + 16 equals its length, the magic
// matches and the checksum agrees; anything else is a damaged uninstaller.
//
// Uninstall list: u32 little-endian integers and counted strings (u32 length,
// then the bytes, no terminator), one after the other, nothing aligned:
//
//   u32  format version, 1
//   str  product name, as the confirmation question shows it
//   str  uninstall key name: publisher, blank, product, blank, version; one key
//        under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall
//   u32  directory count D (1..255); D strings: directories relative to the
//        destination, entry 0 exactly "\" (the destination itself), every
//        other one beginning with a backslash, parents before children
//   u32  file count F; F times: u32 directory index (below D), str file name
//   u32  shortcut count S; S times: str location token ("{DESKTOP}" is the
//        user's desktop folder), str shortcut name without ".lnk"
//   str  program group name (empty: no program group)
//   u32  group folder count G (0 when there is no group); G times: str folder
//        relative to the group ("\" is the group folder itself), u32 item
//        count I, then I strings: item names without ".lnk"
//
// The list ends exactly after the last group folder. Every string is at most
// 259 bytes. The key name is not empty and holds no backslash or control
// character. A name (file, shortcut, item, group) is never empty and
// holds no backslash, slash, colon, wildcard, control character or any of
// < > | ", and is not made only of dots and blanks; a relative folder is a
// backslash followed by such names, each closed by a backslash except perhaps
// the last. So no composed path can leave the folder it is appended to.
// The group's "Uninstall.lnk" is implied by a non-empty group name; the
// uninstaller program itself is implied too and is not listed.
//
// Threads: any thread; no state is kept between calls. Memory: a parsed
// UninstallList owns one block (every array and string lives in it), released
// by freeUninstallList. Portable: no platform headers, no C++ library.
#pragma once

#include <stdint.h>

enum UninstallFormat : uint32_t {
    kUninstallTrailerBytes = 16,
    kUninstallMagic = 0x31445548u,      // "HUD1"
    kUninstallFormatVersion = 1,
    kUninstallMaxString = 259,
    kUninstallMaxDirectories = 255,
    kUninstallMaxListBytes = 8u << 20,  // far above any real product's list
};

struct UninstallFile {
    uint32_t directoryIndex;
    const char* name;
};

struct UninstallShortcut {
    const char* location;
    const char* name;
};

struct UninstallGroupFolder {
    const char* folder;
    uint32_t itemCount;
    const char* const* items;
};

struct UninstallList {
    const char* productName;
    const char* keyName;
    uint32_t directoryCount;
    const char* const* directories;
    uint32_t fileCount;
    const UninstallFile* files;
    uint32_t shortcutCount;
    const UninstallShortcut* shortcuts;
    const char* groupName;              // "" when there is no program group
    uint32_t groupFolderCount;
    const UninstallGroupFolder* groupFolders;
    void* block;                        // owns everything above
};

// Why an uninstaller file could not be read.
enum UninstallProblem {
    kUninstallNoProblem = 0,
    kUninstallCannotOpen,   // the file cannot be opened or read
    kUninstallDamaged,      // trailer, checksum or list is not as written
    kUninstallNoMemory,
};

// Parses an uninstall list of size bytes at data into *list. Returns 1, or 0
// when the bytes break any rule above (a read past the end, a count that the
// remaining bytes cannot hold, an over-long or unsafe string, an index out of
// range, a wrong version, bytes left over) or memory runs out; *list is then
// zeroed and owns nothing. On 1 the list is released with freeUninstallList.
int parseUninstallList(const uint8_t* data, uint32_t size, UninstallList* list);

// Checks the trailer and checksum of the uninstaller file at path and parses
// its list into *list. Returns 1, or 0 with *problem saying why (problem may
// be null); *list is then zeroed.
int readUninstallFile(const char* path, UninstallList* list, UninstallProblem* problem);

// Releases what a parse stored and zeroes *list. Accepts a zeroed list.
void freeUninstallList(UninstallList* list);

// 1 when text is a safe single name as defined above, else 0 (null too).
int isUninstallName(const char* text);

// 1 when text can name the uninstall key as defined above, else 0.
int isUninstallKeyName(const char* text);

// 1 when text is a safe relative folder as defined above ("\" included).
int isUninstallFolder(const char* text);
