#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stream_check.h"
#include "writer/package_writer.h"

namespace {

PackageHeaderFields validHeader() {
    PackageHeaderFields header;
    header.installerTitle = "Setup";
    header.productName = "Product";
    header.directories = {"\\", "\\Sub"};
    header.fileCount = 1;
    return header;
}

template <typename Error>
void expectRejected(const std::function<void()>& call, const std::string& field) {
    try {
        call();
        ADD_FAILURE() << "accepted; expected a rejection naming " << field;
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(field), std::string::npos)
            << "message \"" << error.what() << "\" does not name " << field;
    }
}

void writeHeaderOf(const PackageHeaderFields& header) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    writer.writeHeader(header);
}

TEST(PackageWriterLimits, HeaderStringsHoldAtMost259Bytes) {
    std::string PackageHeaderFields::*fields[] = {
        &PackageHeaderFields::installerTitle, &PackageHeaderFields::publisher,
        &PackageHeaderFields::productName, &PackageHeaderFields::productVersion,
        &PackageHeaderFields::baseFolderToken, &PackageHeaderFields::defaultFolderName};
    const char* names[] = {"installer title", "publisher", "product name",
                           "product version", "base folder token", "default folder name"};
    for (size_t i = 0; i < 6; ++i) {
        PackageHeaderFields header = validHeader();
        header.*fields[i] = std::string(259, 'x');
        EXPECT_NO_THROW(writeHeaderOf(header)) << names[i];
        header.*fields[i] = std::string(260, 'x');
        expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, names[i]);
        header.*fields[i] = std::string("a\0b", 3);
        expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, names[i]);
    }
}

TEST(PackageWriterLimits, DirectoriesAreCheckedInCountLengthAndForm) {
    PackageHeaderFields header = validHeader();
    header.directories[1] = "\\" + std::string(259, 'd');
    EXPECT_NO_THROW(writeHeaderOf(header)) << "260 bytes are allowed";
    header.directories[1] += "d";
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "directory 1");
    header.directories[1] = "Sub";
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "directory 1");
    header.directories = {"\\Sub"};
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "directory 0");
    header.directories.clear();
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "directories");
    header.directories.assign(255, "\\");
    EXPECT_NO_THROW(writeHeaderOf(header));
    header.directories.push_back("\\");
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "directories");
}

TEST(PackageWriterLimits, LicenceHoldsAtMost16384Bytes) {
    PackageHeaderFields header = validHeader();
    header.licenceText = std::string(16384, 'l');
    EXPECT_NO_THROW(writeHeaderOf(header));
    header.licenceText += "l";
    expectRejected<std::invalid_argument>([&] { writeHeaderOf(header); }, "licence text");
}

TEST(PackageWriterLimits, FileRecordsAreCheckedBeforeAnythingIsWritten) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    writer.writeHeader(validHeader());
    const size_t before = file.size();
    const std::vector<uint8_t> stream = {0xC2, 0x00};
    expectRejected<std::invalid_argument>([&] { writer.writeFileRecord(2, "a", 1, stream); },
                                          "directory index 2");
    expectRejected<std::invalid_argument>([&] { writer.writeFileRecord(0, "", 1, stream); },
                                          "file name is empty");
    expectRejected<std::invalid_argument>(
        [&] { writer.writeFileRecord(0, std::string(260, 'n'), 1, stream); }, "name");
    expectRejected<std::invalid_argument>([&] { writer.writeFileRecord(0, "a", 0, stream); },
                                          "both be 0");
    expectRejected<std::invalid_argument>([&] { writer.writeFileRecord(0, "a", 1, {}); },
                                          "both be 0");
    expectRejected<std::invalid_argument>(
        [&] { writer.writeFileRecord(0, "a", 0x80000000u, stream); }, "uncompressed size");
    expectRejected<std::invalid_argument>([&] { writer.writeUninstallerRecord(1, stream); },
                                          "announced 1 files but 0");
    EXPECT_EQ(file.size(), before);
    // The writer goes on after a rejected piece.
    writer.writeFileRecord(1, std::string(259, 'n'), 1, stream);
    expectRejected<std::invalid_argument>([&] { writer.writeFileRecord(0, "b", 1, stream); },
                                          "announced 1 files");
    writer.writeUninstallerRecord(0, {});
    EXPECT_EQ(file.size(), before + 16 + 259 + 2 + 16 + 19);
}

TEST(PackageWriterLimits, TrailingStringsHoldAtMost259Bytes) {
    const std::string tooLong(260, 's');
    std::vector<std::pair<std::function<void(TrailingData*)>, std::string>> cases = {
        {[&](TrailingData* t) { t->shortcuts = {{"\\a", "{DESKTOP}", tooLong}}; }, "shortcut 0 name"},
        {[&](TrailingData* t) { t->shortcuts = {{tooLong, "", ""}}; }, "shortcut 0 target"},
        {[&](TrailingData* t) { t->shortcuts = {{"", tooLong, ""}}; }, "shortcut 0 location"},
        {[&](TrailingData* t) { t->programGroupName = tooLong; }, "program group name"},
        {[&](TrailingData* t) { t->groupFolders = {{tooLong, {}}}; }, "group folder 0"},
        {[&](TrailingData* t) { t->groupFolders = {{"\\", {{"\\a", "a"}, {"\\b", tooLong}}}}; },
         "group folder 0 item 1 name"},
        {[&](TrailingData* t) { t->websiteUrl = tooLong; }, "website address"},
        {[&](TrailingData* t) { t->programToRun = tooLong; }, "program to run"},
        {[&](TrailingData* t) { t->helpFile = tooLong; }, "help file"},
        {[&](TrailingData* t) { t->finishText = tooLong; }, "finish text"},
    };
    for (const auto& [breakIt, field] : cases) {
        std::vector<uint8_t> file;
        PackageWriter writer(&file);
        PackageHeaderFields header = validHeader();
        header.fileCount = 0;
        writer.writeHeader(header);
        writer.writeUninstallerRecord(0, {});
        TrailingData trailing;
        trailing.finishText = std::string(259, 'f');
        breakIt(&trailing);
        expectRejected<std::invalid_argument>([&] { writer.writeTrailingData(trailing); }, field);
    }
}

TEST(PackageWriterLimits, CallsOutOfOrderAreRefused) {
    std::vector<uint8_t> file;
    PackageWriter writer(&file);
    expectRejected<std::logic_error>([&] { writer.writeFileRecord(0, "a", 1, {0}); },
                                     "writeFileRecord");
    expectRejected<std::logic_error>([&] { writer.finish(); }, "finish");
    writer.writeHeader(validHeader());
    expectRejected<std::logic_error>([&] { writer.writeProgram(nullptr, 0); }, "writeProgram");
    expectRejected<std::logic_error>([&] { writer.writeTrailingData({}); }, "writeTrailingData");
}

TEST(PackageWriterLimits, OutputFailureStopsTheWriter) {
    const std::string path = tempPath("readonly.bin");
    writeWholeFile(path, {1, 2, 3});
    FILE* readOnly = fopen(path.c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    PackageWriter writer(readOnly);
    const std::vector<uint8_t> program(70000, 1);
    expectRejected<std::runtime_error>([&] { writer.writeProgram(program.data(), program.size()); },
                                       "writing the installer file");
    expectRejected<std::logic_error>([&] { writer.writeHeader(validHeader()); }, "failed");
    fclose(readOnly);
    remove(path.c_str());
}

}  // namespace
