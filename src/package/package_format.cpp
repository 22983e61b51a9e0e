#include "package/package_format.h"

#include <string.h>

#include "package/package_io.h"

// Reads the length bytes of a string whose length is already known.
static int readStringBody(char* dest, uint32_t capacity, uint32_t length, FILE* file) {
    dest[0] = '\0';
    if (length >= capacity) return 0;
    if (length != 0 && fread(dest, 1, length, file) != length) {
        dest[0] = '\0';
        return 0;
    }
    dest[length] = '\0';
    return 1;
}

int readCountedString(char* dest, uint32_t capacity, FILE* file, uint32_t* accumulator) {
    if (!dest || capacity == 0) return 0;
    uint32_t length;
    dest[0] = '\0';
    if (!file || !readU32(file, &length)) return 0;
    if (!readStringBody(dest, capacity, length, file)) return 0;
    if (accumulator) *accumulator += length + 4;
    return 1;
}

// Reads the trailer and checks that it describes this file. The sum is taken
// in 64 bits: in 32 bits an offset near 4 GiB plus a size could wrap around
// to the file's length and pass.
static int readContainer(FILE* file, PackageHeader* header) {
    uint32_t checksum;
    if (fseek(file, -(long)kTrailerBytes, SEEK_END) != 0) return 0;
    if (!readU32(file, &header->packageSize) || !readU32(file, &header->packageOffset) ||
        !readU32(file, &checksum))
        return 0;
    header->storedChecksum = checksum;
    if (fseek(file, 0, SEEK_END) != 0) return 0;
    long length = ftell(file);
    if (length < 0 || (uint64_t)length > 0xFFFFFFFFull) return 0;
    header->installerFileSize = (uint32_t)length;
    uint64_t described = (uint64_t)header->packageOffset + header->packageSize + kTrailerBytes;
    if (described != (uint64_t)length) return 0;
    return fseek(file, (long)header->packageOffset, SEEK_SET) == 0;
}

static int readHeaderStrings(FILE* file, PackageHeader* header) {
    char* const fields[] = {header->installerTitle,  header->publisher,
                            header->productName,     header->productVersion,
                            header->baseFolderToken, header->defaultFolderName};
    for (char* field : fields)
        if (!readCountedString(field, kPathCapacity, file, &header->headerStringsSize)) return 0;
    copyText(header->displayName, sizeof header->displayName, header->productName);
    appendText(header->displayName, sizeof header->displayName, " ");
    appendText(header->displayName, sizeof header->displayName, header->productVersion);
    return 1;
}

// Only the low 8 bits of the stored count are the count; packages exist whose
// upper bits are not zero, and they must still read.
static int readDirectories(FILE* file, PackageHeader* header) {
    uint32_t storedCount;
    if (!readU32(file, &storedCount)) return 0;
    header->directoryCount = storedCount & 0xFF;
    header->directoryListSize = 4;
    for (uint32_t i = 0; i < header->directoryCount; ++i)
        if (!readCountedString(header->directories[i], kMaxDirectoryLength + 1, file,
                               &header->directoryListSize))
            return 0;
    return 1;
}

// A licence over the limit is refused rather than cut: cutting it would leave
// the file position inside the text, and every later field would be misread.
static int readLicenceAndCounts(FILE* file, PackageHeader* header) {
    header->licenceFieldSize = 0;
    if (!readCountedString(header->licenceText, kMaxLicenceLength + 1, file,
                           &header->licenceFieldSize))
        return 0;
    return readU32(file, &header->fileCount) && readU32(file, &header->requiredSpace);
}

static int readHeaderFields(FILE* file, PackageHeader* header) {
    if (!readContainer(file, header) || !readHeaderStrings(file, header) ||
        !readDirectories(file, header) || !readLicenceAndCounts(file, header))
        return 0;
    long end = ftell(file);
    return end >= 0 && (uint64_t)end <= (uint64_t)header->packageOffset + header->packageSize;
}

int readPackageHeaderFrom(FILE* file, PackageHeader* header) {
    if (!file || !header) return 0;
    memset(header, 0, sizeof *header);
    return readHeaderFields(file, header);
}

int readPackageHeader(const char* path, PackageHeader* header) {
    if (!path || !header) return 0;
    memset(header, 0, sizeof *header);
    FILE* file = fopen(path, "rb");
    if (!file) return 0;
    int ok = readHeaderFields(file, header);
    fclose(file);
    return ok;
}

uint32_t fileTableOffset(const PackageHeader* header) {
    return header->packageOffset + header->headerStringsSize + header->directoryListSize +
           header->licenceFieldSize + 8;
}

int readFileRecordHead(FILE* file, FileRecordHead* record) {
    if (!file || !record) return 0;
    record->name[0] = '\0';
    if (!readU32(file, &record->compressedSize) || !readU32(file, &record->uncompressedSize) ||
        !readU32(file, &record->directoryIndex) || !readU32(file, &record->nameLength))
        return 0;
    return readStringBody(record->name, kPathCapacity, record->nameLength, file);
}
