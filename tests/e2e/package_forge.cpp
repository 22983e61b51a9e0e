#include "package_forge.h"

#include <stdexcept>

namespace e2e {

namespace {

struct Cursor {
    const std::vector<unsigned char>& file;
    uint32_t at;
    uint32_t end;

    uint32_t u32() {
        if (end - at < 4 || at > end) throw std::runtime_error("installer ends early");
        uint32_t value = file[at] | file[at + 1] << 8 | file[at + 2] << 16 | (uint32_t)file[at + 3] << 24;
        at += 4;
        return value;
    }
    std::vector<unsigned char> bytes(uint32_t count) {
        if (count > end - at) throw std::runtime_error("installer ends early");
        std::vector<unsigned char> out(file.begin() + at, file.begin() + at + count);
        at += count;
        return out;
    }
    std::string text() {
        std::vector<unsigned char> raw = bytes(u32());
        return std::string(raw.begin(), raw.end());
    }
};

void appendU32(std::vector<unsigned char>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(value >> (8 * i)));
}

void appendText(std::vector<unsigned char>& out, const std::string& text) {
    appendU32(out, (uint32_t)text.size());
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

ForgedPackage parseInstaller(const std::vector<unsigned char>& file, PackageRegions* regions) {
    PackageRegions where;
    if (file.size() < 12) throw std::runtime_error("no trailer");
    where.size = (uint32_t)file.size();
    where.trailer = where.size - 12;
    Cursor trailer{file, where.trailer, where.size};
    uint32_t packageSize = trailer.u32();
    where.package = trailer.u32();
    if ((uint64_t)where.package + packageSize != where.trailer) throw std::runtime_error("trailer does not fit");

    ForgedPackage package;
    package.program.assign(file.begin(), file.begin() + where.package);
    Cursor in{file, where.package, where.trailer};
    for (std::string& text : package.strings) text = in.text();
    where.directories = in.at;
    package.directoryWord = in.u32();
    for (uint32_t i = 0; i < (package.directoryWord & 0xFF); ++i) package.directories.push_back(in.text());
    where.licence = in.at;
    package.licence = in.text();
    package.fileCount = in.u32();
    package.requiredSpace = in.u32();
    where.fileTable = in.at;
    for (uint32_t i = 0; i <= package.fileCount; ++i) {
        ForgedRecord record;
        where.records.push_back(in.at);
        record.compressedSize = in.u32();
        record.uncompressedSize = in.u32();
        record.directoryIndex = in.u32();
        record.name = in.text();
        where.streams.push_back(in.at);
        record.stream = in.bytes(record.compressedSize);
        package.records.push_back(record);
    }
    where.closing = in.at;
    package.closing = in.bytes(where.trailer - in.at);
    if (regions) *regions = where;
    return package;
}

std::vector<unsigned char> assembleInstaller(const ForgedPackage& package) {
    std::vector<unsigned char> out = package.program;
    const uint32_t packageOffset = (uint32_t)out.size();
    for (const std::string& text : package.strings) appendText(out, text);
    appendU32(out, package.directoryWord);
    for (const std::string& directory : package.directories) appendText(out, directory);
    appendText(out, package.licence);
    appendU32(out, package.fileCount);
    appendU32(out, package.requiredSpace);
    for (const ForgedRecord& record : package.records) {
        appendU32(out, record.compressedSize);
        appendU32(out, record.uncompressedSize);
        appendU32(out, record.directoryIndex);
        appendText(out, record.name);
        out.insert(out.end(), record.stream.begin(), record.stream.end());
    }
    out.insert(out.end(), package.closing.begin(), package.closing.end());
    appendU32(out, (uint32_t)out.size() - packageOffset);
    appendU32(out, packageOffset);
    appendU32(out, 0);
    sealChecksum(out);
    return out;
}

uint32_t installerChecksum(const std::vector<unsigned char>& file) {
    uint32_t sum = 0x20552055u;
    const size_t covered = file.size() < 4 ? 0 : file.size() - 4;
    for (size_t i = 0; i < covered; i += 4) {
        uint32_t word = 0;
        for (size_t j = 0; j < 4 && i + j < covered; ++j) word |= (uint32_t)file[i + j] << (8 * j);
        sum ^= word;
    }
    return sum;
}

void putU32(std::vector<unsigned char>& file, uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) file.at(offset + i) = (unsigned char)(value >> (8 * i));
}

void sealChecksum(std::vector<unsigned char>& file) {
    putU32(file, (uint32_t)file.size() - 4, installerChecksum(file));
}

}  // namespace e2e
