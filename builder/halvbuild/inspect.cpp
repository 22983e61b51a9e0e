#include "halvbuild/inspect.h"

#include <string.h>

#include <filesystem>
#include <memory>
#include <random>

#include "halvbuild/ansi_text.h"
#include "halvbuild/build_error.h"
#include "halvbuild/platform.h"
#include "package/decompressor.h"
#include "package/package_format.h"

namespace fs = std::filesystem;

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

struct Inspection {
    std::string path;
    std::string verifyFolder;
    FILE* out;
    PackageHeader* header;
    FILE* file;
    uint64_t packageEnd;
    InspectResult result;

    [[noreturn]] void fail(const std::string& what) const {
        throw BuildError(path + ": " + what);
    }
};

std::string shown(const char* ansi) {
    return fromAnsi(ansi);
}

void printHeader(Inspection* inspection) {
    const PackageHeader& header = *inspection->header;
    FILE* out = inspection->out;
    printText(out, "Installer    %s: %u bytes\n", inspection->path.c_str(), (unsigned)header.installerFileSize);
    printText(out, "Package      at %u, %u bytes; checksum %08X (matches)\n", (unsigned)header.packageOffset,
            (unsigned)header.packageSize, (unsigned)header.storedChecksum);
    printText(out, "Title        %s\n", shown(header.installerTitle).c_str());
    printText(out, "Publisher    %s\n", shown(header.publisher).c_str());
    printText(out, "Product      %s\n", shown(header.productName).c_str());
    printText(out, "Version      %s\n", shown(header.productVersion).c_str());
    printText(out, "Base folder  %s\n", shown(header.baseFolderToken).c_str());
    printText(out, "Folder name  %s\n", shown(header.defaultFolderName).c_str());
    printText(out, "Licence      %u bytes\n", (unsigned)strlen(header.licenceText));
    printText(out, "Required     %u bytes\n", (unsigned)header.requiredSpace);
    printText(out, "Directories  %u\n", (unsigned)header.directoryCount);
    for (uint32_t i = 0; i < header.directoryCount; ++i)
        printText(out, "  %3u %s\n", (unsigned)i, shown(header.directories[i]).c_str());
    printText(out, "Files        %u\n", (unsigned)header.fileCount);
}

// Where an expansion goes before it is compared; removed when done.
struct ScratchFile {
    std::string path;
    FILE* file = nullptr;

    ScratchFile() {
        std::random_device random;
        path = (fs::temp_directory_path() / ("halvbuild-verify-" + std::to_string(random()))).u8string();
        file = openFile(path, "w+b");
    }
    ~ScratchFile() {
        if (file) fclose(file);
        std::error_code ignored;
        fs::remove(fs::u8path(path), ignored);
    }
};

// Empty when the expansion in scratch equals the file at source.
std::string compareWith(FILE* scratch, const fs::path& source) {
    FilePtr original(openFile(source.u8string(), "rb"), fclose);
    if (!original) return "missing from the folder";
    rewind(scratch);
    unsigned char a[65536], b[65536];
    for (uint64_t offset = 0;;) {
        const size_t gotA = fread(a, 1, sizeof a, scratch), gotB = fread(b, 1, sizeof b, original.get());
        for (size_t i = 0; i < gotA && i < gotB; ++i)
            if (a[i] != b[i]) return "differs at byte " + std::to_string(offset + i);
        if (gotA != gotB) return "differs in length";
        if (gotA == 0) return std::string();
        offset += gotA;
    }
}

// Expands the stream at the file's position and compares it; the file then
// stands behind the stream whatever happened.
void verifyRecord(Inspection* inspection, const FileRecordHead& record, const std::string& installed,
                  bool mustExist) {
    const long start = ftell(inspection->file);
    std::string relative = fromAnsi(installed.substr(1));
    for (char& c : relative)
        if (c == '\\') c = '/';
    const fs::path source = fs::u8path(inspection->verifyFolder) / fs::u8path(relative);
    ScratchFile scratch;
    if (!scratch.file) inspection->fail("cannot create a scratch file in " + fs::temp_directory_path().u8string());
    std::string problem;
    if (record.compressedSize != 0 &&
        !expandStream(inspection->file, (int32_t)start, (int32_t)record.compressedSize,
                      (int32_t)record.uncompressedSize, scratch.file, nullptr))
        problem = "the stream does not expand";
    fflush(scratch.file);
    if (problem.empty() && (mustExist || fs::exists(source))) problem = compareWith(scratch.file, source);
    if (!problem.empty()) {
        printText(inspection->out, "DIFFERS      %s: %s\n", fromAnsi(installed).c_str(), problem.c_str());
        ++inspection->result.differences;
    }
    fseek(inspection->file, start + (long)record.compressedSize, SEEK_SET);
}

void readRecord(Inspection* inspection, FileRecordHead* record, const char* what) {
    if (!readFileRecordHead(inspection->file, record)) inspection->fail(std::string(what) + " record is damaged");
    const uint64_t streamEnd = (uint64_t)ftell(inspection->file) + record->compressedSize;
    if (streamEnd > inspection->packageEnd) inspection->fail(std::string(what) + " stream runs past the package");
    if (record->directoryIndex >= inspection->header->directoryCount)
        inspection->fail(std::string(what) + " names directory " + std::to_string(record->directoryIndex) +
                         " of " + std::to_string(inspection->header->directoryCount));
}

void printRecord(Inspection* inspection, const FileRecordHead& record, const std::string& installed) {
    // In tenths of a per cent, rounded in integers: C runtimes round a half
    // of "%.1f" differently, and Windows and Linux must print the same.
    const uint64_t tenths = record.uncompressedSize
                                ? ((uint64_t)record.compressedSize * 1000 + record.uncompressedSize / 2) / record.uncompressedSize
                                : 0;
    printText(inspection->out, "  %10u %10u %4u.%u%%  %s\n", (unsigned)record.uncompressedSize,
            (unsigned)record.compressedSize, (unsigned)(tenths / 10), (unsigned)(tenths % 10), fromAnsi(installed).c_str());
}

void walkRecords(Inspection* inspection) {
    const PackageHeader& header = *inspection->header;
    printText(inspection->out, "  %10s %10s %7s  %s\n", "size", "packed", "ratio", "path");
    for (uint32_t i = 0; i <= header.fileCount; ++i) {
        const bool uninstaller = i == header.fileCount;
        FileRecordHead record;
        readRecord(inspection, &record, uninstaller ? "the uninstaller" : ("file " + std::to_string(i + 1)).c_str());
        const std::string installed = std::string(header.directories[record.directoryIndex]) + record.name;
        if (uninstaller) printText(inspection->out, "Uninstaller\n");
        printRecord(inspection, record, installed);
        if (inspection->verifyFolder.empty())
            fseek(inspection->file, (long)record.compressedSize, SEEK_CUR);
        else
            verifyRecord(inspection, record, installed, !uninstaller);
    }
}

void printLists(Inspection* inspection, const PayloadLists& lists) {
    FILE* out = inspection->out;
    uint32_t count = 0;
    for (ListNode* node = lists.shortcutsHead; node; node = node->next) ++count;
    printText(out, "Shortcuts    %u\n", (unsigned)count);
    for (ListNode* node = lists.shortcutsHead; node; node = node->next) {
        const ShortcutRecord* shortcut = (const ShortcutRecord*)node;
        printText(out, "  %s\\%s.lnk -> %s\n", shown(shortcut->location).c_str(), shown(shortcut->name).c_str(),
                shown(shortcut->target).c_str());
    }
    printText(out, "Group        %s\n", shown(lists.programGroupName).c_str());
    for (ListNode* node = lists.groupEntriesHead; node; node = node->next) {
        const GroupFolderRecord* folder = (const GroupFolderRecord*)node;
        printText(out, "  %s\n", shown(folder->folder).c_str());
        for (ListNode* item = folder->firstItem; item; item = item->next)
            printText(out, "    %s.lnk -> %s\n", shown(((const GroupItemRecord*)item)->name).c_str(),
                    shown(((const GroupItemRecord*)item)->target).c_str());
    }
    printText(out, "Website      %s\n", shown(lists.websiteUrl).c_str());
    printText(out, "Program      %s\n", shown(lists.programToRun).c_str());
    printText(out, "Help file    %s\n", shown(lists.helpFile).c_str());
    printText(out, "Finish text  %s\n", shown(lists.finishText).c_str());
}

// Each node is one heap block with its strings.
void freeLists(PayloadLists* lists) {
    while (lists->shortcutsHead) listRemove(&lists->shortcutsHead, &lists->shortcutsTail, lists->shortcutsHead);
    while (lists->groupEntriesHead) {
        GroupFolderRecord* folder = (GroupFolderRecord*)lists->groupEntriesHead;
        while (folder->firstItem) listRemove(&folder->firstItem, &folder->lastItem, folder->firstItem);
        listRemove(&lists->groupEntriesHead, &lists->groupEntriesTail, &folder->link);
    }
}

}  // namespace

InspectResult inspectInstaller(const std::string& path, const std::string& verifyFolder, FILE* out) {
    FilePtr file(openFile(path, "rb"), fclose);
    if (!file) throw BuildError(path + ": cannot open the file");
    auto header = std::make_unique<PackageHeader>();
    if (!readPackageHeaderFrom(file.get(), header.get()))
        throw BuildError(path + ": not an installer file (no trailer that describes it, or a damaged header)");
    const uint32_t checksum = computeChecksumOf(file.get(), header->installerFileSize - 4, checksumSeed);
    if (checksum != header->storedChecksum)
        throw BuildError(path + ": the checksum does not match: the file was changed or cut short");
    Inspection inspection{path, verifyFolder, out, header.get(), file.get(),
                          (uint64_t)header->packageOffset + header->packageSize, {}};
    inspection.result.fileCount = header->fileCount;
    printHeader(&inspection);
    if (fseek(file.get(), (long)fileTableOffset(header.get()), SEEK_SET) != 0) inspection.fail("cannot seek");
    walkRecords(&inspection);
    PayloadLists lists = {};
    const int listsRead = readPayloadLists(file.get(), &lists);
    if (listsRead) printLists(&inspection, lists);
    freeLists(&lists);
    if (!listsRead) inspection.fail("the shortcut list, group or closing strings are damaged");
    const uint64_t end = (uint64_t)ftell(file.get());
    if (end != inspection.packageEnd)
        inspection.fail(std::to_string(inspection.packageEnd - end) + " bytes lie between the closing strings and the trailer");
    return inspection.result;
}
