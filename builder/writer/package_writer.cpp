#include "writer/package_writer.h"

#include <errno.h>
#include <string.h>

#include <stdexcept>

#include "package/package_format.h"
#include "writer/encoder.h"

namespace {

constexpr uint64_t kMaxStreamSize = 0x7FFFFFFF;

// The writer's one guard: the package's own limits, whoever calls it. halvbuild
// checks each of them where the publisher's input enters and names the file,
// line and field there; a caller that gets past that meets this.
void require(bool holds, const std::string& piece, const char* rule) {
    if (!holds) throw std::invalid_argument(piece + ": " + rule);
}

bool fits(const std::string& text, size_t limit) {
    return text.size() <= limit && text.find('\0') == std::string::npos;
}

void checkHeader(const PackageHeaderFields& header) {
    for (const std::string* text : {&header.installerTitle, &header.publisher, &header.productName,
                                    &header.productVersion, &header.baseFolderToken, &header.defaultFolderName})
        require(fits(*text, kMaxStringLength), "package header", "a string is over 259 bytes or holds a NUL byte");
    const size_t count = header.directories.size();
    require(count >= 1 && count <= kMaxDirectories && header.directories[0] == "\\", "directories",
            "between 1 and 255, the first being \"\\\" (the destination itself)");
    for (const std::string& directory : header.directories)
        require(fits(directory, kMaxDirectoryLength) && directory[0] == '\\', "directory \"" + directory + "\"",
                "must begin with a backslash and hold at most 260 bytes");
    require(fits(header.licenceText, kMaxLicenceLength), "licence text", "at most 16384 bytes, no NUL byte");
}

// An expansion to 0 bytes fails without consuming its stream, so the records
// behind it would be misread: empty files carry no stream.
void checkRecord(uint32_t directoryIndex, uint32_t directoryCount, const std::string& name,
                 uint32_t uncompressedSize, const std::vector<uint8_t>& stream) {
    const std::string piece = "file record \"" + name + "\"";
    require(!name.empty() && fits(name, kMaxStringLength), piece, "the name must hold 1 to 259 bytes, no NUL byte");
    require(directoryIndex < directoryCount, piece, "its directory index is not below the directory count");
    require(uncompressedSize <= kMaxStreamSize && stream.size() <= kMaxStreamSize, piece,
            "a size is above 2147483647");
    require(stream.empty() == (uncompressedSize == 0), piece,
            "the stream must be empty exactly when the file is");
}

void checkTrailing(const TrailingData& trailing) {
    bool strings = fits(trailing.programGroupName, kMaxStringLength) && fits(trailing.websiteUrl, kMaxStringLength) &&
                   fits(trailing.programToRun, kMaxStringLength) && fits(trailing.helpFile, kMaxStringLength) &&
                   fits(trailing.finishText, kMaxStringLength);
    for (const ShortcutEntry& s : trailing.shortcuts)
        strings = strings && fits(s.target, kMaxStringLength) && fits(s.location, kMaxStringLength) &&
                  fits(s.name, kMaxStringLength);
    for (const GroupFolderEntry& folder : trailing.groupFolders) {
        strings = strings && fits(folder.folder, kMaxStringLength);
        for (const GroupItemEntry& item : folder.items)
            strings = strings && fits(item.target, kMaxStringLength) && fits(item.name, kMaxStringLength);
    }
    require(strings, "shortcuts, program group and closing strings",
            "a string is over 259 bytes or holds a NUL byte");
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

void PackageWriter::put(const void* bytes, size_t size) {
    const uint8_t* p = (const uint8_t*)bytes;
    if (memory_) {
        memory_->insert(memory_->end(), p, p + size);
    } else if (size > 0 && fwrite(p, 1, size, file_) != size) {
        stage_ = Stage::Failed;
        throw std::runtime_error(std::string("writing the installer file: ") + strerror(errno));
    }
    checksum_ = checksumUpdate(checksum_, offset_, p, size);
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
    require(filesWritten_ < fileCount_, "file record \"" + name + "\"", "the header announced fewer files");
    putRecord(directoryIndex, name, uncompressedSize, stream);
    ++filesWritten_;
}

void PackageWriter::writeFile(uint32_t directoryIndex, const std::string& name,
                              const uint8_t* content, size_t size) {
    require(size <= kMaxStreamSize, "file record \"" + name + "\"", "a size is above 2147483647");
    writeFileRecord(directoryIndex, name, (uint32_t)size, encodeStream(content, size));
}

void PackageWriter::writeUninstallerRecord(uint32_t uncompressedSize,
                                           const std::vector<uint8_t>& stream) {
    expectStage(Stage::Files, "writeUninstallerRecord");
    require(filesWritten_ == fileCount_, "uninstaller record", "the header announced more files");
    putRecord(0, kUninstallerName, uncompressedSize, stream);
    stage_ = Stage::Trailing;
}

void PackageWriter::writeUninstaller(const uint8_t* program, size_t size) {
    require(size <= kMaxStreamSize, "uninstaller record", "a size is above 2147483647");
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
    require(contents.files.size() <= UINT32_MAX, "files", "too many");
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
