#include "writer/package_writer.h"

#include <errno.h>
#include <string.h>

#include <stdexcept>

#include "writer/encoder.h"

namespace {

constexpr size_t kMaxStringLength = 259;
constexpr size_t kMaxDirectoryLength = 260;
constexpr size_t kMaxDirectories = 255;
constexpr size_t kMaxLicenceLength = 16384;
constexpr uint64_t kMaxStreamSize = 0x7FFFFFFF;
constexpr uint32_t kChecksumSeed = 0x20552055u;

[[noreturn]] void reject(const std::string& field, const std::string& reason) {
    throw std::invalid_argument(field + ": " + reason);
}

void checkText(const std::string& field, const std::string& text, size_t limit) {
    if (text.size() > limit) {
        reject(field, "is " + std::to_string(text.size()) + " bytes long; at most " +
                          std::to_string(limit) + " are allowed");
    }
    if (text.find('\0') != std::string::npos) reject(field, "holds a NUL byte");
}

void checkHeader(const PackageHeaderFields& header) {
    checkText("installer title", header.installerTitle, kMaxStringLength);
    checkText("publisher", header.publisher, kMaxStringLength);
    checkText("product name", header.productName, kMaxStringLength);
    checkText("product version", header.productVersion, kMaxStringLength);
    checkText("base folder token", header.baseFolderToken, kMaxStringLength);
    checkText("default folder name", header.defaultFolderName, kMaxStringLength);
    const size_t count = header.directories.size();
    if (count == 0 || count > kMaxDirectories) {
        reject("directories", "there are " + std::to_string(count) +
                                  "; between 1 and 255 are allowed");
    }
    if (header.directories[0] != "\\") {
        reject("directory 0", "must be \"\\\" (the destination itself)");
    }
    for (size_t i = 0; i < count; ++i) {
        const std::string field = "directory " + std::to_string(i);
        checkText(field, header.directories[i], kMaxDirectoryLength);
        if (header.directories[i].empty() || header.directories[i][0] != '\\') {
            reject(field, "must begin with a backslash");
        }
    }
    checkText("licence text", header.licenceText, kMaxLicenceLength);
}

void checkRecord(uint32_t directoryIndex, uint32_t directoryCount, const std::string& name,
                 uint32_t uncompressedSize, const std::vector<uint8_t>& stream) {
    const std::string field = "file record \"" + name + "\"";
    if (name.empty()) reject("file record", "the file name is empty");
    checkText(field + " name", name, kMaxStringLength);
    if (directoryIndex >= directoryCount) {
        reject(field, "directory index " + std::to_string(directoryIndex) +
                          " is not below the directory count " + std::to_string(directoryCount));
    }
    if (uncompressedSize > kMaxStreamSize) {
        reject(field, "uncompressed size " + std::to_string(uncompressedSize) +
                          " is above 2147483647");
    }
    if (stream.size() > kMaxStreamSize) {
        reject(field, "compressed size " + std::to_string(stream.size()) + " is above 2147483647");
    }
    // An expansion to 0 bytes fails without consuming its stream, so the
    // records behind it would be misread: empty files carry no stream.
    if (stream.empty() != (uncompressedSize == 0)) {
        reject(field, "compressed size " + std::to_string(stream.size()) +
                          " and uncompressed size " + std::to_string(uncompressedSize) +
                          " must both be 0 or both above 0");
    }
}

void checkTrailing(const TrailingData& trailing) {
    if (trailing.shortcuts.size() > UINT32_MAX) reject("shortcuts", "too many");
    for (size_t i = 0; i < trailing.shortcuts.size(); ++i) {
        const std::string field = "shortcut " + std::to_string(i);
        checkText(field + " target", trailing.shortcuts[i].target, kMaxStringLength);
        checkText(field + " location", trailing.shortcuts[i].location, kMaxStringLength);
        checkText(field + " name", trailing.shortcuts[i].name, kMaxStringLength);
    }
    checkText("program group name", trailing.programGroupName, kMaxStringLength);
    if (trailing.groupFolders.size() > UINT32_MAX) reject("group folders", "too many");
    for (size_t i = 0; i < trailing.groupFolders.size(); ++i) {
        const GroupFolderEntry& folder = trailing.groupFolders[i];
        const std::string field = "group folder " + std::to_string(i);
        checkText(field, folder.folder, kMaxStringLength);
        if (folder.items.size() > UINT32_MAX) reject(field, "too many items");
        for (size_t k = 0; k < folder.items.size(); ++k) {
            const std::string item = field + " item " + std::to_string(k);
            checkText(item + " target", folder.items[k].target, kMaxStringLength);
            checkText(item + " name", folder.items[k].name, kMaxStringLength);
        }
    }
    checkText("website address", trailing.websiteUrl, kMaxStringLength);
    checkText("program to run", trailing.programToRun, kMaxStringLength);
    checkText("help file", trailing.helpFile, kMaxStringLength);
    checkText("finish text", trailing.finishText, kMaxStringLength);
}

uint64_t countedSize(const std::string& text) { return 4 + (uint64_t)text.size(); }

uint64_t trailingSize(const TrailingData& trailing) {
    uint64_t size = 4 + countedSize(trailing.programGroupName) + 4;
    for (const ShortcutEntry& s : trailing.shortcuts) {
        size += countedSize(s.target) + countedSize(s.location) + countedSize(s.name);
    }
    for (const GroupFolderEntry& folder : trailing.groupFolders) {
        size += countedSize(folder.folder) + 4;
        for (const GroupItemEntry& item : folder.items) {
            size += countedSize(item.target) + countedSize(item.name);
        }
    }
    return size + countedSize(trailing.websiteUrl) + countedSize(trailing.programToRun) +
           countedSize(trailing.helpFile) + countedSize(trailing.finishText);
}

}  // namespace

PackageWriter::PackageWriter(FILE* output) : file_(output) {
    if (!output) throw std::invalid_argument("PackageWriter: no output file");
}

PackageWriter::PackageWriter(std::vector<uint8_t>* memory) : memory_(memory) {
    if (!memory) throw std::invalid_argument("PackageWriter: no output buffer");
}

void PackageWriter::expectStage(Stage stage, const char* call) {
    if (stage_ != stage) {
        throw std::logic_error(std::string("PackageWriter::") + call +
                               (stage_ == Stage::Failed ? ": an earlier call failed"
                                                        : ": called out of order"));
    }
}

void PackageWriter::checkRoom(uint64_t bytes, const char* what) {
    if (offset_ + bytes + 12 > kMaxInstallerFileSize) {
        throw std::runtime_error(std::string(what) +
                                 ": the installer file would be larger than 2147483647 bytes");
    }
}

// The checksum is the XOR of little-endian words from offset 0, so each byte
// enters it shifted by its offset within its word; a partial last word thus
// counts as if completed with zero bytes.
void PackageWriter::put(const void* bytes, size_t size) {
    const uint8_t* p = (const uint8_t*)bytes;
    size_t i = 0;
    uint32_t sum = checksum_;
    for (; i < size && ((offset_ + i) & 3) != 0; ++i) sum ^= (uint32_t)p[i] << (8 * ((offset_ + i) & 3));
    for (; i + 4 <= size; i += 4) {
        sum ^= (uint32_t)p[i] | (uint32_t)p[i + 1] << 8 | (uint32_t)p[i + 2] << 16 |
               (uint32_t)p[i + 3] << 24;
    }
    for (; i < size; ++i) sum ^= (uint32_t)p[i] << (8 * ((offset_ + i) & 3));
    if (memory_) {
        memory_->insert(memory_->end(), p, p + size);
    } else if (size > 0 && fwrite(p, 1, size, file_) != size) {
        stage_ = Stage::Failed;
        throw std::runtime_error(std::string("writing the installer file: ") + strerror(errno));
    }
    checksum_ = sum;
    offset_ += size;
}

void PackageWriter::putU32(uint32_t value) {
    const uint8_t bytes[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16),
                              (uint8_t)(value >> 24)};
    put(bytes, 4);
}

void PackageWriter::putCountedString(const std::string& text) {
    putU32((uint32_t)text.size());
    put(text.data(), text.size());
}

void PackageWriter::writeProgram(const uint8_t* bytes, size_t size) {
    expectStage(Stage::Program, "writeProgram");
    if (size > 0 && !bytes) throw std::invalid_argument("writeProgram: no program bytes");
    checkRoom(size, "installer program");
    put(bytes, size);
}

void PackageWriter::copyProgram(FILE* program) {
    expectStage(Stage::Program, "copyProgram");
    if (!program) throw std::invalid_argument("copyProgram: no program file");
    std::vector<uint8_t> buffer(65536);
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), program)) > 0) writeProgram(buffer.data(), got);
    if (ferror(program)) {
        stage_ = Stage::Failed;
        throw std::runtime_error("reading the installer program failed");
    }
}

void PackageWriter::writeHeader(const PackageHeaderFields& header) {
    expectStage(Stage::Program, "writeHeader");
    checkHeader(header);
    uint64_t size = countedSize(header.installerTitle) + countedSize(header.publisher) +
                    countedSize(header.productName) + countedSize(header.productVersion) +
                    countedSize(header.baseFolderToken) + countedSize(header.defaultFolderName) +
                    4 + countedSize(header.licenceText) + 8;
    for (const std::string& directory : header.directories) size += countedSize(directory);
    checkRoom(size, "package header");
    packageOffset_ = offset_;
    directoryCount_ = (uint32_t)header.directories.size();
    fileCount_ = header.fileCount;
    putCountedString(header.installerTitle);
    putCountedString(header.publisher);
    putCountedString(header.productName);
    putCountedString(header.productVersion);
    putCountedString(header.baseFolderToken);
    putCountedString(header.defaultFolderName);
    putU32(directoryCount_);
    for (const std::string& directory : header.directories) putCountedString(directory);
    putCountedString(header.licenceText);
    putU32(header.fileCount);
    putU32(header.requiredSpace);
    stage_ = Stage::Files;
}

void PackageWriter::putRecord(uint32_t directoryIndex, const std::string& name,
                              uint32_t uncompressedSize, const std::vector<uint8_t>& stream) {
    checkRecord(directoryIndex, directoryCount_, name, uncompressedSize, stream);
    checkRoom(16 + name.size() + stream.size(), "file record");
    putU32((uint32_t)stream.size());
    putU32(uncompressedSize);
    putU32(directoryIndex);
    putCountedString(name);
    put(stream.data(), stream.size());
}

void PackageWriter::writeFileRecord(uint32_t directoryIndex, const std::string& name,
                                    uint32_t uncompressedSize,
                                    const std::vector<uint8_t>& stream) {
    expectStage(Stage::Files, "writeFileRecord");
    if (filesWritten_ >= fileCount_) {
        reject("file record \"" + name + "\"",
               "the header announced " + std::to_string(fileCount_) + " files");
    }
    putRecord(directoryIndex, name, uncompressedSize, stream);
    ++filesWritten_;
}

void PackageWriter::writeFile(uint32_t directoryIndex, const std::string& name,
                              const uint8_t* content, size_t size) {
    if (size > kMaxStreamSize) {
        reject("file record \"" + name + "\"",
               "uncompressed size " + std::to_string(size) + " is above 2147483647");
    }
    writeFileRecord(directoryIndex, name, (uint32_t)size, encodeStream(content, size));
}

void PackageWriter::writeUninstallerRecord(uint32_t uncompressedSize,
                                           const std::vector<uint8_t>& stream) {
    expectStage(Stage::Files, "writeUninstallerRecord");
    if (filesWritten_ != fileCount_) {
        reject("uninstaller record", "the header announced " + std::to_string(fileCount_) +
                                         " files but " + std::to_string(filesWritten_) +
                                         " were written");
    }
    putRecord(0, kUninstallerName, uncompressedSize, stream);
    stage_ = Stage::Trailing;
}

void PackageWriter::writeUninstaller(const uint8_t* program, size_t size) {
    if (size > kMaxStreamSize) {
        reject("uninstaller record", "uncompressed size " + std::to_string(size) +
                                         " is above 2147483647");
    }
    writeUninstallerRecord((uint32_t)size, encodeStream(program, size));
}

void PackageWriter::writeTrailingData(const TrailingData& trailing) {
    expectStage(Stage::Trailing, "writeTrailingData");
    checkTrailing(trailing);
    checkRoom(trailingSize(trailing), "shortcuts, program group and closing strings");
    putU32((uint32_t)trailing.shortcuts.size());
    for (const ShortcutEntry& shortcut : trailing.shortcuts) {
        putCountedString(shortcut.target);
        putCountedString(shortcut.location);
        putCountedString(shortcut.name);
    }
    putCountedString(trailing.programGroupName);
    putU32((uint32_t)trailing.groupFolders.size());
    for (const GroupFolderEntry& folder : trailing.groupFolders) {
        putCountedString(folder.folder);
        putU32((uint32_t)folder.items.size());
        for (const GroupItemEntry& item : folder.items) {
            putCountedString(item.target);
            putCountedString(item.name);
        }
    }
    putCountedString(trailing.websiteUrl);
    putCountedString(trailing.programToRun);
    putCountedString(trailing.helpFile);
    putCountedString(trailing.finishText);
    stage_ = Stage::Closing;
}

WrittenTrailer PackageWriter::finish() {
    expectStage(Stage::Closing, "finish");
    WrittenTrailer trailer;
    trailer.packageSize = (uint32_t)(offset_ - packageOffset_);
    trailer.packageOffset = (uint32_t)packageOffset_;
    putU32(trailer.packageSize);
    putU32(trailer.packageOffset);
    trailer.checksum = checksum_;
    putU32(trailer.checksum);
    if (file_ && fflush(file_) != 0) {
        stage_ = Stage::Failed;
        throw std::runtime_error(std::string("writing the installer file: ") + strerror(errno));
    }
    stage_ = Stage::Finished;
    return trailer;
}

std::vector<uint8_t> buildInstaller(const std::vector<uint8_t>& program,
                                    const InstallerContents& contents) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    writer.writeProgram(program.data(), program.size());
    PackageHeaderFields header = contents.header;
    if (contents.files.size() > UINT32_MAX) reject("files", "too many");
    header.fileCount = (uint32_t)contents.files.size();
    writer.writeHeader(header);
    for (const FileEntry& entry : contents.files) {
        writer.writeFile(entry.directoryIndex, entry.name, entry.content.data(),
                         entry.content.size());
    }
    writer.writeUninstaller(contents.uninstaller.data(), contents.uninstaller.size());
    writer.writeTrailingData(contents.trailing);
    writer.finish();
    return file;
}
