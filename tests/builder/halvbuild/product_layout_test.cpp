#include "halvbuild/product_layout.h"

#include <gtest/gtest.h>

#include "test_tree.h"

namespace {

ProductLayout plan(const TestTree& tree, const std::string& rest) {
    return planProduct(loadManifest(tree.manifest(rest)));
}

// The message planProduct throws, after the manifest's path.
std::string planError(const TestTree& tree, const std::string& rest) {
    const std::string path = tree.manifest(rest);
    try {
        planProduct(loadManifest(path));
    } catch (const BuildError& error) {
        const std::string message = error.what();
        return message.compare(0, path.size(), path) == 0 ? message.substr(path.size()) : message;
    }
    return "no error";
}

std::vector<std::string> installedPaths(const ProductLayout& layout) {
    std::vector<std::string> paths;
    for (const PlannedFile& file : layout.files) paths.push_back(layout.header.directories[file.directoryIndex] + file.name);
    return paths;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(ProductLayout, DerivesDirectoriesParentsFirst) {
    TestTree tree;
    tree.write("product/zeta.txt", "z");
    tree.write("product/docs/deep/c.txt", "ccc");
    tree.write("product/docs/b.txt", "bb");
    tree.write("product/Alpha.txt", "a");
    tree.write("extra/tool.exe", "tool");
    std::filesystem::create_directories(tree.path("product/empty"));
    const ProductLayout layout = plan(tree, "[[files]]\nsource = \"product\"\n"
                                            "[[files]]\nsource = \"extra/tool.exe\"\ndirectory = \"lib\\\\x\"\n");
    EXPECT_EQ(layout.header.directories,
              (std::vector<std::string>{"\\", "\\docs\\", "\\docs\\deep\\", "\\empty\\", "\\lib\\", "\\lib\\x\\"}));
    EXPECT_EQ(installedPaths(layout), (std::vector<std::string>{"\\Alpha.txt", "\\zeta.txt", "\\docs\\b.txt",
                                                                "\\docs\\deep\\c.txt", "\\lib\\x\\tool.exe"}));
    EXPECT_EQ(layout.header.fileCount, 5u);
    EXPECT_EQ(layout.productBytes, 11u);
    EXPECT_EQ(layout.defaultDestination, "C:\\Program Files\\Testing\\");
}

TEST(ProductLayout, PatternsMatchTheLastPart) {
    TestTree tree;
    tree.write("p/a.txt", "a");
    tree.write("p/b.txt", "b");
    tree.write("p/.hidden.txt", "h");
    tree.write("p/c.dat", "c");
    tree.write("p/sub.txt/inner.bin", "i");
    const ProductLayout layout = plan(tree, "[[files]]\nsource = \"p/*.txt\"\ndirectory = \"t\"\n");
    EXPECT_EQ(installedPaths(layout),
              (std::vector<std::string>{"\\t\\a.txt", "\\t\\b.txt", "\\t\\sub.txt\\inner.bin"}));
    EXPECT_EQ(planError(tree, "[[files]]\nsource = \"p/*.exe\"\n"), ":6: files[1].source: nothing matches \"p/*.exe\"");
    const std::string missing = planError(tree, "[[files]]\nsource = \"p/none.txt\"\n");
    EXPECT_TRUE(contains(missing, ":6: files[1].source: \"")) << missing;
    EXPECT_TRUE(contains(missing, "none.txt\": no such file or folder")) << missing;
    EXPECT_EQ(planError(tree, "[[files]]\nsource = \"*/a.txt\"\n"),
              ":6: files[1].source: * and ? may stand only in the last part of the path");
}

TEST(ProductLayout, RefusesNamesThatLeaveTheDestination) {
    TestTree tree;
    tree.write("a.txt", "a");
    const std::string source = "[[files]]\nsource = \"a.txt\"\n";
    EXPECT_EQ(planError(tree, source + "directory = \"../up\"\n"), ":7: files[1].directory: \"..\" leads out of its folder");
    EXPECT_EQ(planError(tree, source + "directory = \"C:/x\"\n"),
              ":7: files[1].directory: \"C:\" holds \":\", which Windows does not allow in names");
    EXPECT_TRUE(contains(planError(tree, source + "directory = \"x/con\"\n"), "is a reserved device name"));
#ifndef _WIN32
    // Names that only other systems' disks can hold.
    tree.write("bad/a:b.txt", "x");
    EXPECT_TRUE(contains(planError(tree, "[[files]]\nsource = \"bad\"\n"), "a:b.txt\" holds \":\""));
    std::filesystem::remove_all(tree.path("bad"));
    tree.write("bad/tail.", "x");
    EXPECT_TRUE(contains(planError(tree, "[[files]]\nsource = \"bad\"\n"), "ends in a blank or a dot"));
#endif
}

TEST(ProductLayout, RefusesFilesWindowsWouldTakeForOne) {
    TestTree tree;
    tree.write("one/Read.txt", "1");
    tree.write("two/read.TXT", "2");
    EXPECT_TRUE(contains(planError(tree, "[[files]]\nsource = \"one\"\n[[files]]\nsource = \"two\"\n"),
                         "a second file would be installed as \"\\read.TXT\""));
    tree.write("three/Docs/x.txt", "3");
    tree.write("four/docs/y.txt", "4");
    EXPECT_TRUE(contains(planError(tree, "[[files]]\nsource = \"three\"\n[[files]]\nsource = \"four\"\n"),
                         "differ only in letter case"));
    tree.write("five/HalvUninstaller.exe", "5");
    EXPECT_TRUE(contains(planError(tree, "[[files]]\nsource = \"five\"\n"), "the uninstaller is installed as"));
}

TEST(ProductLayout, PathLimitUnderTheDefaultDestination) {
    // "C:\Program Files\F\" is 19 bytes; the installer joins it, "\" and the name.
    TestTree tree;
    const std::string longest(240, 'n');
    tree.write("fits/" + longest, "x");
    EXPECT_EQ(plan(tree, "folder_name = \"F\"\n[[files]]\nsource = \"fits\"\n").files.size(), 1u);
    tree.write("over/" + longest + "m", "x");
    const std::string message = planError(tree, "folder_name = \"F\"\n[[files]]\nsource = \"over\"\n");
    EXPECT_TRUE(contains(message, ":7: files[1].source: ")) << message;
    EXPECT_TRUE(contains(message, "is 261 bytes as the installer builds it; the limit is 260")) << message;
    // Another base folder is taken as it stands.
    EXPECT_EQ(plan(tree, "base_folder = \"D:\\\\A\"\nfolder_name = \"Folder\"\n[[files]]\nsource = \"over\"\n")
                  .defaultDestination,
              "D:\\A\\Folder\\");
    EXPECT_TRUE(contains(planError(tree, "base_folder = \"{DESKTOP}\"\n"), "must be \"{PROGRAM_FILES}\""));
    EXPECT_EQ(plan(tree, "base_folder = \"{program_files}\"\n").defaultDestination, "C:\\Program Files\\Testing\\");
}

TEST(ProductLayout, DirectoriesStayWithinWhatWindowsCreates) {
    // "C:\Program Files\F\" (19 bytes), a backslash and the entry: at most 247.
#ifdef _WIN32
    GTEST_SKIP() << "the source folder itself would be too deep to list under the temporary folder";
#endif
    TestTree tree;
    std::filesystem::create_directories(tree.path("fits/" + std::string(225, 'd')));
    EXPECT_EQ(plan(tree, "folder_name = \"F\"\n[[files]]\nsource = \"fits\"\n").header.directories.size(), 2u);
    std::filesystem::create_directories(tree.path("over/" + std::string(226, 'd')));
    const std::string message = planError(tree, "folder_name = \"F\"\n[[files]]\nsource = \"over\"\n");
    EXPECT_TRUE(contains(message, "would pass the 247 characters Windows can create")) << message;
}

TEST(ProductLayout, AtMost255Directories) {
    TestTree tree;
    for (int i = 1; i < 255; ++i) std::filesystem::create_directories(tree.path("p/d" + std::to_string(i)));
    EXPECT_EQ(plan(tree, "[[files]]\nsource = \"p\"\n").header.directories.size(), 255u);
    std::filesystem::create_directories(tree.path("p/d255"));
    EXPECT_EQ(planError(tree, "[[files]]\nsource = \"p\"\n"),
              ": files: the product has 256 directories; the installer takes at most 255");
}

TEST(ProductLayout, TargetsMustBeInstalledFiles) {
    TestTree tree;
    tree.write("p/bin/App.exe", "app");
    tree.write("p/help.txt", "help");
    const std::string files = "[[files]]\nsource = \"p\"\n";
    const ProductLayout layout = plan(tree, files +
                                                "[[shortcuts]]\nname = \"App\"\ntarget = \"BIN/app.EXE\"\n"
                                                "[[shortcuts]]\nname = \"Remove\"\ntarget = \"HalvUninstaller.exe\"\n"
                                                "[finish]\nprogram = \"\\\\bin\\\\App.exe\"\nhelp_file = \"help.txt\"\n");
    ASSERT_EQ(layout.trailing.shortcuts.size(), 2u);
    EXPECT_EQ(layout.trailing.shortcuts[0].target, "\\bin\\App.exe");
    EXPECT_EQ(layout.trailing.shortcuts[0].location, "{DESKTOP}");
    EXPECT_EQ(layout.trailing.shortcuts[1].target, "\\HalvUninstaller.exe");
    EXPECT_EQ(layout.trailing.programToRun, "\\bin\\App.exe");
    EXPECT_EQ(layout.trailing.helpFile, "\\help.txt");
    EXPECT_EQ(planError(tree, files + "[finish]\nhelp_file = \"missing.txt\"\n"),
              ":8: finish.help_file: \"missing.txt\" is not a file of the product");
    EXPECT_TRUE(contains(planError(tree, files + "[[shortcuts]]\nname = \"a\"\ntarget = \"help.txt\"\n"
                                                 "[[shortcuts]]\nname = \"A\"\ntarget = \"help.txt\"\n"),
                         "a second shortcut of that name"));
}

TEST(ProductLayout, GroupFolderComesFirstAndParentsBeforeChildren) {
    TestTree tree;
    tree.write("p/a.txt", "a");
    const std::string files = "[[files]]\nsource = \"p\"\n[group]\nname = \"G\"\n";
    const ProductLayout layout = plan(tree, files + "[[group.folders]]\nfolder = \"Docs\"\n"
                                                    "items = [{ name = \"A\", target = \"a.txt\" }]\n"
                                                    "[[group.folders]]\nfolder = \"Docs/More\"\n"
                                                    "[[group.folders]]\nitems = [{ name = \"Top\", target = \"a.txt\" }]\n");
    const auto& folders = layout.trailing.groupFolders;
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0].folder, "\\");
    ASSERT_EQ(folders[0].items.size(), 1u);
    EXPECT_EQ(folders[0].items[0].name, "Top");
    EXPECT_EQ(folders[1].folder, "\\Docs\\");
    EXPECT_EQ(folders[1].items[0].target, "\\a.txt");
    EXPECT_EQ(folders[2].folder, "\\Docs\\More\\");
    EXPECT_TRUE(folders[2].items.empty());
    EXPECT_EQ(planError(tree, files + "[[group.folders]]\nfolder = \"X/Y\"\n"),
              ":10: group.folders[1].folder: its parent \"\\X\\\" must be listed before it");
    // A group without folders still gets its own folder record.
    EXPECT_EQ(plan(tree, files).trailing.groupFolders.size(), 1u);
    EXPECT_TRUE(plan(tree, "").trailing.groupFolders.empty());
}

TEST(ProductLayout, LicenceIsCrLfTextWithinTheLimit) {
    TestTree tree;
    tree.write("licence.txt", "line one\nline two\n");
    EXPECT_EQ(plan(tree, "licence = \"licence.txt\"\n").header.licenceText, "line one\r\nline two\r\n");
    tree.write("licence.txt", std::string(8192, '\n'));
    EXPECT_EQ(plan(tree, "licence = \"licence.txt\"\n").header.licenceText.size(), 16384u);
    tree.write("licence.txt", std::string(8192, '\n') + "x");
    EXPECT_TRUE(contains(planError(tree, "licence = \"licence.txt\"\n"),
                         "the licence is 16385 bytes with CR LF line ends; the limit is 16384"));
    EXPECT_TRUE(contains(planError(tree, "licence = \"none.txt\"\n"), ":5: licence: "));
}

TEST(ProductLayout, RequiredSpaceFitsItsField) {
    ProductLayout layout;
    layout.productBytes = 4294967295u - 100;
    setRequiredSpace(&layout, 100);
    EXPECT_EQ(layout.header.requiredSpace, 4294967295u);
    EXPECT_THROW(setRequiredSpace(&layout, 101), BuildError);
}
