// Takes an installer file apart into its program, header fields, records and
// closing bytes, lets a test change any of them, and puts it together again
// with a trailer and checksum that match: the way to make packages whose
// checksum is right but whose fields are hostile. Any thread; plain records.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace e2e {

struct ForgedRecord {
    uint32_t compressedSize = 0;     // as stored; the stream keeps its own bytes
    uint32_t uncompressedSize = 0;
    uint32_t directoryIndex = 0;
    std::string name;
    std::vector<unsigned char> stream;
};

struct ForgedPackage {
    std::vector<unsigned char> program;
    std::string strings[6];          // title, publisher, product, version, base folder, folder name
    uint32_t directoryWord = 0;      // the stored count word; its low 8 bits count the entries
    std::vector<std::string> directories;
    std::string licence;
    uint32_t fileCount = 0;          // as stored; records holds fileCount + 1 as read
    uint32_t requiredSpace = 0;
    std::vector<ForgedRecord> records;  // the files, then the uninstaller
    std::vector<unsigned char> closing;  // shortcuts, group and closing strings, as stored
};

// Where the parts of an installer file begin (file offsets).
struct PackageRegions {
    uint32_t package = 0;            // the header's first byte
    uint32_t directories = 0;        // the directory count word
    uint32_t licence = 0;
    uint32_t fileTable = 0;          // the first record
    std::vector<uint32_t> records;   // each record's fixed fields
    std::vector<uint32_t> streams;   // each record's stream
    uint32_t closing = 0;
    uint32_t trailer = 0;
    uint32_t size = 0;
};

// Parses a whole, well-formed installer file; throws std::runtime_error
// when it is not one. *regions (when given) receives where its parts begin.
ForgedPackage parseInstaller(const std::vector<unsigned char>& file, PackageRegions* regions = nullptr);

// The installer file for package: program, package, trailer and checksum.
std::vector<unsigned char> assembleInstaller(const ForgedPackage& package);

// The checksum the installer expects in the last four bytes of file.
uint32_t installerChecksum(const std::vector<unsigned char>& file);

// Writes a u32 little-endian at offset and, when sealed, the matching
// checksum into the last four bytes.
void putU32(std::vector<unsigned char>& file, uint32_t offset, uint32_t value);
void sealChecksum(std::vector<unsigned char>& file);

}  // namespace e2e
