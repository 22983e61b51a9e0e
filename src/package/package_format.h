// The installer file's package: trailer, header, checksum, payload records.
//
// An installer file is the program, then the package, then a 12-byte trailer
// (package size, package offset, checksum). Integers are u32 little-endian;
// strings are counted (u32 length, then the bytes, no terminator).
//
// Every length read from the file is checked against its buffer and against
// the file's end before anything is copied: a package that breaks a limit is
// refused, never read past a buffer.
//
// Threads: the readers keep no state; each call works on the caller's records
// and FILE, so any thread may call them on its own records.
// Memory: each node that readPayloadLists allocates is one heap block holding
// the node and copies of its strings (free the node and its strings go with
// it); the nodes belong to the PayloadLists record and the installer keeps
// them until the process ends. Portable: no platform headers.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "util/blocks.h"

// First value of the checksum: the bytes "U U " in file order.
const uint32_t checksumSeed = 0x20552055u;

enum PackageLimits : uint32_t {
    kTrailerBytes = 12,
    kPathCapacity = 260,          // paths and names: 259 bytes of text and the terminator
    kMaxStringLength = 259,       // header strings and the strings after the files
    kMaxDirectoryLength = 260,    // a directory entry may use all 260 bytes
    kMaxDirectories = 255,
    kMaxLicenceLength = 16384,
};

// The name every installation gives its uninstaller, in the destination folder.
#define UNINSTALLER_FILE_NAME "HalvUninstaller.exe"

struct PackageTrailer {
    uint32_t packageSize;
    uint32_t packageOffset;
    uint32_t checksum;
};

// Everything the header says, plus the sizes that locate the file table.
struct PackageHeader {
    uint32_t packageSize;
    uint32_t packageOffset;
    uint32_t storedChecksum;
    uint32_t installerFileSize;
    uint32_t headerStringsSize;    // sum of 4 + length over the six header strings
    uint32_t directoryListSize;    // 4 + sum of 4 + length over the directory entries
    uint32_t licenceFieldSize;     // 4 + licence length
    char installerTitle[kPathCapacity];
    char publisher[kPathCapacity];
    char productName[kPathCapacity];
    char productVersion[kPathCapacity];
    char baseFolderToken[kPathCapacity];
    char defaultFolderName[kPathCapacity];
    char displayName[800];         // productName, a blank, productVersion
    uint32_t directoryCount;       // 0..255: the low 8 bits of the stored word
    char directories[kMaxDirectories + 1][kMaxDirectoryLength + 1];
    char licenceText[kMaxLicenceLength + 1];
    uint32_t fileCount;
    uint32_t requiredSpace;
};

// The fixed part of a FileRecord (also the uninstaller record) and its name.
struct FileRecordHead {
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t directoryIndex;
    uint32_t nameLength;
    char name[kPathCapacity];
};

struct ShortcutRecord {
    ListNode link;
    char* target;      // relative to the destination, beginning with a backslash
    char* location;    // a folder token such as "{DESKTOP}"
    char* name;        // without ".lnk"
};

struct GroupItemRecord {
    ListNode link;
    char* target;
    char* name;
};

struct GroupFolderRecord {
    ListNode link;
    ListNode* firstItem;   // GroupItemRecord nodes
    ListNode* lastItem;
    char* folder;          // relative to the group folder; "\" is the group folder
};

// What the package holds after the uninstaller record.
struct PayloadLists {
    ListNode* shortcutsHead;     // ShortcutRecord nodes, package order
    ListNode* shortcutsTail;
    char programGroupName[kPathCapacity];
    ListNode* groupEntriesHead;  // GroupFolderRecord nodes, package order
    ListNode* groupEntriesTail;
    char websiteUrl[kPathCapacity];
    char programToRun[kPathCapacity];
    char helpFile[kPathCapacity];
    char finishText[kPathCapacity];
};

// Reads a counted string into dest (capacity bytes) and terminates it; adds
// length + 4 to *accumulator (when given) on success only. Returns 1, or 0
// when an argument is missing, the file ends early or the string does not fit
// (length >= capacity: nothing is read past the length word); dest then holds
// an empty string and the file position is undefined.
int readCountedString(char* dest, uint32_t capacity, FILE* file, uint32_t* accumulator);

// Checks the container of the file at path and loads the whole header into
// *header, which is zeroed first. Returns 1, or 0 when the file cannot be
// opened, the trailer does not describe the file (offset + size + 12 !=
// length, summed in 64 bits so no wrap-around passes), a header string is
// over 259 bytes, a directory entry over 260, the licence over 16384, or the
// header does not end inside the package. The directory count is the low 8
// bits of its stored word. On failure the fields read so far keep their values.
int readPackageHeader(const char* path, PackageHeader* header);

// readPackageHeader on a file the caller opened for binary reading (and
// closes); the file position is undefined afterwards.
int readPackageHeaderFrom(FILE* file, PackageHeader* header);

// File offset of the first FileRecord: the package offset plus the header's
// three field sizes plus the 8 bytes of the two counts.
uint32_t fileTableOffset(const PackageHeader* header);

// The package's checksum, as a running sum that every writer and reader of
// this format and of the uninstall list shares: adds the size bytes that
// stand at file offset `offset` to sum (start from checksumSeed at offset 0).
// Each byte is XORed in at its place within its little-endian u32 word, so the
// bytes may come in pieces of any size, and a final partial word counts as
// completed with zero bytes.
uint32_t checksumUpdate(uint32_t sum, uint64_t offset, const void* bytes, size_t size);

// The seed XOR every little-endian u32 word of the first coveredLength bytes
// of the file (a final partial word is completed with zero bytes); the file is
// read in 64 KiB blocks. Returns 0 when the file cannot be opened, the seed for
// a coveredLength of 0. A file shorter than coveredLength gives the sum of
// what it holds, its final partial word completed with the high bytes of the
// word before it (zeros when there is none), as a word-by-word reading does.
uint32_t computeFileChecksum(const char* path, uint32_t coveredLength, uint32_t seed);

// computeFileChecksum on a file the caller opened for binary reading (and
// closes), read from its start; 0 when file is null.
uint32_t computeChecksumOf(FILE* file, uint32_t coveredLength, uint32_t seed);

// Reads the fixed fields and the name of a FileRecord at the file's position,
// leaving the file at the start of its stream. Returns 1, or 0 when the file
// ends early or the name is 260 bytes or longer. The directory index is not
// checked here: the caller compares it with the header's directoryCount.
int readFileRecordHead(FILE* file, FileRecordHead* record);

// Reads the shortcut list, the program group and the four closing strings
// that follow the uninstaller record's stream, appending nodes to the lists of
// *lists (pass a zeroed record) in package order. Returns 1, or 0 when the
// file ends early, a string is over 259 bytes or memory runs out: the records
// read whole so far stay in the lists (a group folder joins its list before
// its items are read). A false count ends at the end of the file.
int readPayloadLists(FILE* file, PayloadLists* lists);
