// The package writer: lays out an installer file byte for byte as the
// installer reads it.
//
// An installer file is the installer program, then the package (header, file
// records, uninstaller record, shortcut list, program group, four closing
// strings), then a 12-byte trailer: package size, package offset and the
// checksum (the seed 0x20552055 XOR every little-endian u32 word of all bytes
// before the checksum word, a final partial word completed with zero bytes).
// Integers are u32 little-endian; strings are counted (u32 length, the bytes,
// no terminator).
//
// PackageWriter streams: every byte goes straight to the output as it is
// produced, and the writer keeps only the offset, the running checksum and a
// few counts, so an installer of any size is written in one pass without
// reading anything back. Every limit is checked before anything of the piece
// is written; a failed check throws std::invalid_argument naming the piece
// (or std::runtime_error when the file would pass kMaxInstallerFileSize),
// writes nothing, and leaves the writer able to go on. A call out of order
// throws std::logic_error. An output failure throws std::runtime_error; the
// output is then incomplete and further calls throw std::logic_error.
//
// Threads: one writer belongs to one thread. Memory: the writer does not own
// the FILE or vector it writes to; the caller closes the FILE after finish().
// Portable: no platform headers.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "package/package_format.h"

// The header fields, in the order the package stores them.
struct PackageHeaderFields {
    std::string installerTitle;      // each of the six strings: at most 259 bytes
    std::string publisher;
    std::string productName;
    std::string productVersion;
    std::string baseFolderToken;     // such as "{PROGRAM_FILES}"
    std::string defaultFolderName;
    // At least 1 and at most 255 entries, each at most 260 bytes and beginning
    // with a backslash; entry 0 must be "\" (the destination itself), which
    // the uninstaller record relies on.
    std::vector<std::string> directories;
    std::string licenceText;         // at most 16384 bytes; empty: no licence
    uint32_t fileCount = 0;          // the number of writeFileRecord calls to follow
    uint32_t requiredSpace = 0;      // bytes needed on the destination drive
};

// A shortcut on the user's desktop or elsewhere; strings at most 259 bytes.
struct ShortcutEntry {
    std::string target;     // relative to the destination, beginning with a backslash
    std::string location;   // a folder token such as "{DESKTOP}"
    std::string name;       // without ".lnk"
};

// A shortcut in a program group folder; strings at most 259 bytes.
struct GroupItemEntry {
    std::string target;
    std::string name;
};

// A folder of the program group and its shortcuts.
struct GroupFolderEntry {
    std::string folder;     // relative to the group folder; "\" is the group folder itself
    std::vector<GroupItemEntry> items;
};

// Everything that follows the uninstaller record; strings at most 259 bytes.
// Empty strings mean "not offered" (no program group, no web site, ...).
struct TrailingData {
    std::vector<ShortcutEntry> shortcuts;
    std::string programGroupName;
    std::vector<GroupFolderEntry> groupFolders;
    std::string websiteUrl;
    std::string programToRun;   // relative to the destination, beginning with a backslash
    std::string helpFile;       // likewise
    std::string finishText;
};

// The trailer as written at the end of the file.
struct WrittenTrailer {
    uint32_t packageSize;
    uint32_t packageOffset;
    uint32_t checksum;
};

// The name every installation gives its uninstaller.
constexpr const char* kUninstallerName = UNINSTALLER_FILE_NAME;

// Largest installer file: the installer addresses its own file with signed
// 32-bit offsets.
constexpr uint64_t kMaxInstallerFileSize = 0x7FFFFFFF;

// Writes one installer file. Call in this order:
//   writeProgram / copyProgram (any number of times, the installer program),
//   writeHeader, writeFileRecord or writeFile (exactly fileCount times),
//   writeUninstaller or writeUninstallerRecord, writeTrailingData, finish.
class PackageWriter {
public:
    // Writes to output, an empty file open for binary writing; the writer
    // never seeks, closes or reads it. finish() flushes it.
    explicit PackageWriter(FILE* output);
    // Appends to *memory (not owned; must outlive the writer).
    explicit PackageWriter(std::vector<uint8_t>* memory);

    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Appends bytes of the installer program (before writeHeader only).
    void writeProgram(const uint8_t* bytes, size_t size);
    // Appends the rest of program, read from its position to its end.
    void copyProgram(FILE* program);

    // Writes the header; the package begins here. Checks every limit listed at
    // PackageHeaderFields first.
    void writeHeader(const PackageHeaderFields& header);

    // Writes a FileRecord: compressed size, uncompressedSize, directoryIndex,
    // name, then stream as it is (it must be the complete stream of the file,
    // as encodeStream makes it). An empty file is stored with both sizes 0 and
    // no stream. Throws std::invalid_argument when directoryIndex is not below
    // the directory count, the name is empty, longer than 259 bytes or holds a
    // NUL byte, the stream is empty for a non-empty file (or the reverse), a
    // size is above 2^31 - 1, or more records than fileCount are written.
    void writeFileRecord(uint32_t directoryIndex, const std::string& name,
                         uint32_t uncompressedSize, const std::vector<uint8_t>& stream);

    // Encodes the size bytes at content with encodeStream and writes the record.
    void writeFile(uint32_t directoryIndex, const std::string& name,
                   const uint8_t* content, size_t size);

    // Writes the uninstaller record ("HalvUninstaller.exe", directory 0) from
    // its ready stream; throws std::invalid_argument as writeFileRecord does,
    // and when fewer file records than fileCount were written.
    void writeUninstallerRecord(uint32_t uncompressedSize, const std::vector<uint8_t>& stream);
    // Encodes the uninstaller program and writes its record.
    void writeUninstaller(const uint8_t* program, size_t size);

    // Writes the shortcut list, the program group and the four closing
    // strings. Checks every string (at most 259 bytes, no NUL byte) first.
    void writeTrailingData(const TrailingData& trailing);

    // Writes the trailer (package size, package offset, checksum) and flushes
    // the output. Returns the trailer as written.
    WrittenTrailer finish();

    // Bytes written so far: the offset of the next byte in the file.
    uint64_t offset() const { return offset_; }

private:
    enum class Stage { Program, Files, Trailing, Closing, Finished, Failed };

    void put(const void* bytes, size_t size);
    void putU32(uint32_t value);
    void putCountedString(const std::string& text);
    void putRecord(uint32_t directoryIndex, const std::string& name,
                   uint32_t uncompressedSize, const std::vector<uint8_t>& stream);
    void expectStage(Stage stage, const char* call);
    void checkRoom(uint64_t bytes, const char* what);

    FILE* file_ = nullptr;
    std::vector<uint8_t>* memory_ = nullptr;
    Stage stage_ = Stage::Program;
    uint64_t offset_ = 0;
    uint64_t packageOffset_ = 0;
    uint32_t checksum_ = checksumSeed;
    uint32_t directoryCount_ = 0;
    uint32_t fileCount_ = 0;
    uint32_t filesWritten_ = 0;
};

// Everything an installer holds, for callers that build it in memory.
struct FileEntry {
    uint32_t directoryIndex = 0;
    std::string name;
    std::vector<uint8_t> content;
};

struct InstallerContents {
    PackageHeaderFields header;        // fileCount is taken from files.size()
    std::vector<FileEntry> files;
    std::vector<uint8_t> uninstaller;  // the uninstaller program's bytes
    TrailingData trailing;
};

// Returns the whole installer file: program, package and trailer. Encodes
// every file and the uninstaller. Throws as PackageWriter does.
std::vector<uint8_t> buildInstaller(const std::vector<uint8_t>& program,
                                    const InstallerContents& contents);
