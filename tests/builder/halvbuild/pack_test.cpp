#include "halvbuild/pack.h"

#include <gtest/gtest.h>

#include <memory>

#include "halvbuild/inspect.h"
#include "halvbuild/uninstaller_data.h"
#include "package/package_format.h"
#include "test_tree.h"
#include "uninstall_list/uninstall_list.h"

namespace {

const std::string kProgram = "MZ stand-in installer program\n" + std::string(300, 'p');
const std::string kUninstaller = "MZ stand-in uninstaller\n" + std::string(200, 'u');

// Packs the manifest (required keys plus rest) into out.exe of the tree.
std::string pack(const TestTree& tree, const std::string& rest, unsigned threads = 2,
                 const std::string& output = "out.exe") {
    PackOptions options;
    options.outputPath = tree.path(output);
    options.installerProgram = tree.write("tools/installer.exe", kProgram);
    options.uninstallerProgram = tree.write("tools/HalvUninstaller.exe", kUninstaller);
    options.threads = threads;
    packInstaller(loadManifest(tree.manifest(rest)), options);
    return options.outputPath;
}

// What inspectInstaller returns and prints for the installer at path.
struct Inspected {
    InspectResult result;
    std::string listing;
};

Inspected inspect(const TestTree& tree, const std::string& path, const std::string& verifyFolder) {
    // Binary: on Windows a text-mode file would turn each line end into CR LF.
    std::unique_ptr<FILE, int (*)(FILE*)> out(fopen(tree.path("listing.txt").c_str(), "wb"), fclose);
    Inspected inspected{inspectInstaller(path, verifyFolder, out.get()), ""};
    out.reset();
    inspected.listing = tree.read("listing.txt");
    return inspected;
}

// The uninstaller record's content made as packing makes it, written as
// verify/HalvUninstaller.exe so that an inspection against verify/ compares
// the packed one with it, and its list read back as the uninstaller reads it.
struct Uninstaller {
    std::string content;
    UninstallList list{};
    ~Uninstaller() { freeUninstallList(&list); }
};

void expectedUninstaller(const TestTree& tree, Uninstaller* uninstaller) {
    const std::vector<uint8_t> bytes = makeUninstallerBytes(tree.path("tools/HalvUninstaller.exe"),
                                                            planProduct(loadManifest(tree.path("product.toml"))));
    uninstaller->content.assign(bytes.begin(), bytes.end());
    ASSERT_EQ(uninstaller->content.compare(0, kUninstaller.size(), kUninstaller), 0);
    const std::string copy = tree.write("verify/HalvUninstaller.exe", uninstaller->content);
    UninstallProblem problem = kUninstallNoProblem;
    ASSERT_EQ(readUninstallFile(copy.c_str(), &uninstaller->list, &problem), 1) << problem;
}

}  // namespace

TEST(Pack, InstallerReadsBackWithEveryField) {
    TestTree tree;
    tree.write("product/app.exe", sampleBytes(5000, 1));
    tree.write("product/docs/guide/start.txt", sampleBytes(70000, 2));
    tree.write("product/docs/empty.txt", "");
    tree.write("licence.txt", "Terms\nMore terms\n");
    const std::string path = pack(tree, R"(folder_name = "Tester Testing"
licence = "licence.txt"
[[files]]
source = "product"
[[shortcuts]]
name = "Testing"
target = "app.exe"
[group]
name = "Tester Testing"
[[group.folders]]
folder = "Docs"
items = [{ name = "Start", target = "docs/guide/start.txt" }]
[finish]
website = "https://example.com/t"
program = "app.exe"
help_file = "docs/guide/start.txt"
text = "All done."
)");
    EXPECT_EQ(tree.read("out.exe").substr(0, kProgram.size()), kProgram);
    auto header = std::make_unique<PackageHeader>();
    ASSERT_EQ(readPackageHeader(path.c_str(), header.get()), 1);
    EXPECT_EQ(header->packageOffset, kProgram.size());
    EXPECT_STREQ(header->licenceText, "Terms\r\nMore terms\r\n");
    std::filesystem::copy(tree.path("product"), tree.path("verify"), std::filesystem::copy_options::recursive);
    Uninstaller uninstaller;
    ASSERT_NO_FATAL_FAILURE(expectedUninstaller(tree, &uninstaller));
    EXPECT_EQ(header->requiredSpace, 5000u + 70000u + uninstaller.content.size());
    EXPECT_STREQ(uninstaller.list.productName, "Testing");
    EXPECT_STREQ(uninstaller.list.keyName, "Tester Testing 2.1");
    ASSERT_EQ(uninstaller.list.fileCount, 3u);
    EXPECT_EQ(uninstaller.list.files[2].directoryIndex, 2u);
    EXPECT_STREQ(uninstaller.list.files[2].name, "start.txt");
    EXPECT_EQ(uninstaller.list.directoryCount, 3u);
    EXPECT_EQ(uninstaller.list.shortcutCount, 1u);
    EXPECT_EQ(uninstaller.list.groupFolderCount, 2u);

    // The inspection reads everything back through the installer's reader,
    // checks the checksum and that the lists end at the trailer, and expands
    // every stream against the file at its place under verify/.
    const Inspected inspected = inspect(tree, path, tree.path("verify"));
    EXPECT_EQ(inspected.result.fileCount, 3u);
    EXPECT_EQ(inspected.result.differences, 0u) << inspected.listing;
    const std::string parts[] = {
        "Title        Test Setup\nPublisher    Tester\nProduct      Testing\nVersion      2.1\n"
        "Base folder  {PROGRAM_FILES}\nFolder name  Tester Testing\nLicence      19 bytes\nRequired     " +
            std::to_string(header->requiredSpace) +
            " bytes\nDirectories  3\n    0 \\\n    1 \\docs\\\n    2 \\docs\\guide\\\nFiles        3\n",
        "%  \\app.exe\n", "%  \\docs\\empty.txt\n", "%  \\docs\\guide\\start.txt\nUninstaller\n",
        "%  \\HalvUninstaller.exe\nShortcuts    1\n  {DESKTOP}\\Testing.lnk -> \\app.exe\n"
        "Group        Tester Testing\n  \\\n  \\Docs\\\n    Start.lnk -> \\docs\\guide\\start.txt\n"
        "Website      https://example.com/t\nProgram      \\app.exe\nHelp file    \\docs\\guide\\start.txt\n"
        "Finish text  All done.\n"};
    for (const std::string& part : parts) EXPECT_NE(inspected.listing.find(part), std::string::npos) << part;
}

TEST(Pack, ProductWithNoFiles) {
    TestTree tree;
    const std::string path = pack(tree, "");
    Uninstaller uninstaller;
    ASSERT_NO_FATAL_FAILURE(expectedUninstaller(tree, &uninstaller));
    EXPECT_EQ(uninstaller.list.fileCount, 0u);
    const Inspected inspected = inspect(tree, path, tree.path("verify"));
    EXPECT_EQ(inspected.result.fileCount, 0u);
    EXPECT_EQ(inspected.result.differences, 0u);
    // The destination itself is the one directory; the uninstaller is all the space needed.
    const std::string parts[] = {"Licence      0 bytes\nRequired     " + std::to_string(uninstaller.content.size()) +
                                     " bytes\nDirectories  1\n    0 \\\nFiles        0\n",
                                 "Uninstaller\n", "%  \\HalvUninstaller.exe\nShortcuts    0\n"};
    for (const std::string& part : parts) EXPECT_NE(inspected.listing.find(part), std::string::npos) << part;
}

TEST(Pack, VerifyCatchesAChangedOrMissingFile) {
    TestTree tree;
    tree.write("product/a.txt", sampleBytes(9000, 3));
    tree.write("product/sub/b.txt", sampleBytes(20000, 4));
    const std::string path = pack(tree, "[[files]]\nsource = \"product\"\n");
    EXPECT_EQ(inspect(tree, path, tree.path("product")).result.differences, 0u);
    std::string changed = sampleBytes(20000, 4);
    changed[12345] ^= 1;
    const struct {
        std::string content;
        std::string difference;
    } cases[] = {{changed, "DIFFERS      \\sub\\b.txt: differs at byte 12345\n"},
                 {sampleBytes(20000, 4) + "x", "DIFFERS      \\sub\\b.txt: differs in length\n"}};
    for (const auto& c : cases) {
        tree.write("product/sub/b.txt", c.content);
        const Inspected inspected = inspect(tree, path, tree.path("product"));
        EXPECT_EQ(inspected.result.differences, 1u);
        EXPECT_NE(inspected.listing.find(c.difference), std::string::npos) << inspected.listing;
    }
    std::filesystem::remove(tree.path("product/a.txt"));
    EXPECT_NE(inspect(tree, path, tree.path("product")).listing.find("\\a.txt: missing from the folder"),
              std::string::npos);
}

TEST(Pack, InspectRefusesADamagedInstaller) {
    TestTree tree;
    tree.write("product/a.txt", sampleBytes(3000, 5));
    const std::string path = pack(tree, "[[files]]\nsource = \"product\"\n");
    std::string damaged = tree.read("out.exe");
    damaged[damaged.size() - 100] ^= 0x20;
    const std::string cut = tree.read("out.exe").substr(0, damaged.size() - 1);
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {{damaged, ": the checksum does not match: the file was changed or cut short"},
                 {cut, ": not an installer file (no trailer that describes it, or a damaged header)"}};
    for (const auto& c : cases) {
        const std::string bad = tree.write("bad.exe", c.bytes);
        try {
            inspect(tree, bad, "");
            ADD_FAILURE() << "accepted" << c.message;
        } catch (const BuildError& error) {
            EXPECT_EQ(error.what(), bad + c.message);
        }
    }
}

TEST(Pack, SameInputsGiveTheSameBytesOnAnyThreadCount) {
    TestTree tree;
    for (int i = 0; i < 40; ++i)
        tree.write("product/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".dat",
                   sampleBytes(1000 + 997 * i, i));
    const std::string rest = "[[files]]\nsource = \"product\"\n";
    pack(tree, rest, 1, "one.exe");
    pack(tree, rest, 4, "four.exe");
    pack(tree, rest, 4, "again.exe");
    const std::string one = tree.read("one.exe");
    EXPECT_GT(one.size(), kProgram.size());
    EXPECT_EQ(one, tree.read("four.exe"));
    EXPECT_EQ(one, tree.read("again.exe"));
}

TEST(Pack, FailureLeavesNoFileBehind) {
    TestTree tree;
    tree.write("product/a.txt", "a");
    const std::string bad = "[[files]]\nsource = \"product\"\n[finish]\nprogram = \"missing.exe\"\n";
    EXPECT_THROW(pack(tree, bad), BuildError);
    EXPECT_EQ(tree.listing(), (std::vector<std::string>{"product", "product.toml", "tools"}));
    // An older installer of that name stays as it was, whatever fails.
    tree.write("out.exe", "older");
    EXPECT_THROW(pack(tree, bad), BuildError);
    EXPECT_EQ(tree.read("out.exe"), "older");
    PackOptions options;
    options.outputPath = tree.path("out.exe");
    options.installerProgram = tree.write("tools/installer.exe", kProgram);
    options.uninstallerProgram = tree.path("tools/none.exe");
    try {
        packInstaller(loadManifest(tree.manifest("[[files]]\nsource = \"product\"\n")), options);
        ADD_FAILURE() << "packed without an uninstaller";
    } catch (const BuildError& error) {
        EXPECT_EQ(error.what(), options.uninstallerProgram + ": cannot open the uninstaller");
    }
    EXPECT_EQ(tree.read("out.exe"), "older");
    pack(tree, "[[files]]\nsource = \"product\"\n");
    EXPECT_NE(tree.read("out.exe"), "older");
    EXPECT_EQ(tree.listing(), (std::vector<std::string>{"out.exe", "product", "product.toml", "tools"}));
}
