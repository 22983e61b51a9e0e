#include "halvbuild/manifest.h"

#include <gtest/gtest.h>

#include "test_tree.h"

namespace {

// The message loadManifest throws for the manifest with rest after the
// required keys, with the manifest's path cut off.
std::string errorFor(const std::string& rest, bool withRequired = true) {
    TestTree tree;
    const std::string path = withRequired ? tree.manifest(rest) : tree.write("product.toml", rest);
    try {
        loadManifest(path);
    } catch (const BuildError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.compare(0, path.size(), path), 0) << message;
        return message.substr(path.size());
    }
    return "no error";
}

}  // namespace

TEST(Manifest, ReadsEveryKey) {
    TestTree tree;
    const Manifest manifest = loadManifest(tree.manifest(R"(base_folder = "D:\\Apps"
folder_name = "Tester\\Testing"
licence = "licence.txt"
[[files]]
source = "bin/*.exe"
directory = "bin"
[[shortcuts]]
name = "Testing"
target = "bin/t.exe"
[group]
name = "Testing"
[[group.folders]]
folder = "Extras"
items = [{ name = "Read Me", target = "readme.txt" }]
[finish]
website = "https://example.com/"
program = "bin/t.exe"
help_file = "help.txt"
text = "Done.\nBye."
)"));
    EXPECT_EQ(manifest.title.value, "Test Setup");
    EXPECT_EQ(manifest.version.value, "2.1");
    EXPECT_EQ(manifest.baseFolder.value, "D:\\Apps");
    EXPECT_EQ(manifest.folderName.value, "Tester\\Testing");
    ASSERT_EQ(manifest.files.size(), 1u);
    EXPECT_EQ(manifest.files[0].source.value, "bin/*.exe");
    EXPECT_EQ(manifest.files[0].source.spot.line, 9u);
    EXPECT_EQ(manifest.files[0].source.spot.field, "files[1].source");
    ASSERT_EQ(manifest.shortcuts.size(), 1u);
    EXPECT_EQ(manifest.shortcuts[0].location.value, "{DESKTOP}");
    ASSERT_EQ(manifest.groupFolders.size(), 1u);
    EXPECT_EQ(manifest.groupFolders[0].items[0].target.value, "readme.txt");
    EXPECT_EQ(manifest.groupFolders[0].items[0].name.spot.field, "group.folders[1].items[1].name");
    EXPECT_EQ(manifest.finishText.value, "Done.\nBye.");
    EXPECT_EQ(manifest.helpFile.value, "help.txt");
}

TEST(Manifest, DefaultsTheDestination) {
    TestTree tree;
    const Manifest manifest = loadManifest(tree.manifest(""));
    EXPECT_EQ(manifest.baseFolder.value, "{PROGRAM_FILES}");
    EXPECT_EQ(manifest.folderName.value, "Testing");
    EXPECT_TRUE(manifest.licence.value.empty());
    EXPECT_TRUE(manifest.files.empty());
}

TEST(Manifest, ConvertsTextToWindows1252) {
    TestTree tree;
    const Manifest manifest = loadManifest(tree.manifest("folder_name = \"Caf\xC3\xA9\"\n"));
    EXPECT_EQ(manifest.folderName.value, "Caf\xE9");
}

TEST(Manifest, ErrorsNameLineAndField) {
    EXPECT_EQ(errorFor("colour = \"blue\"\n"), ":5: colour: unknown key");
    EXPECT_EQ(errorFor("[[files]]\nsource = \"a\"\ndestination = \"b\"\n"), ":7: files[1].destination: unknown key");
    EXPECT_EQ(errorFor("[[files]]\nsource = 3\n"), ":6: files[1].source: must be a text in quotes");
    EXPECT_EQ(errorFor("[[files]]\ndirectory = \"x\"\n"), ": files[1].source: required key is missing");
    EXPECT_EQ(errorFor("title = \"T\"\n", false), ": publisher: required key is missing");
    EXPECT_EQ(errorFor("folder_name = \"\"\n"), ":5: folder_name: must not be empty");
    EXPECT_EQ(errorFor("[[shortcuts]]\nname = \"n\"\ntarget = \"t\"\nlocation = \"{STARTUP}\"\n"),
              ":8: shortcuts[1].location: the installer knows only \"{DESKTOP}\"");
    EXPECT_EQ(errorFor("[group]\n[[group.folders]]\n"), ": group.name: required key is missing");
    EXPECT_EQ(errorFor("[finish]\nwebsite = \"a\nb\"\n").substr(0, 3), ":6:");
}

TEST(Manifest, TextsKeepThePackageLimits) {
    EXPECT_EQ(errorFor("[finish]\nwebsite = \"" + std::string(259, 'w') + "\"\n"), "no error");
    EXPECT_EQ(errorFor("[finish]\nwebsite = \"" + std::string(260, 'w') + "\"\n"),
              ":6: finish.website: is 260 bytes long; the limit is 259");
    // The limit counts the package's bytes, not UTF-8's: é is one byte there.
    std::string accents;
    for (int i = 0; i < 259; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(errorFor("folder_name = \"" + accents + "\"\n"), "no error");
    EXPECT_EQ(errorFor("folder_name = \"\xE4\xB8\xAD\"\n"),
              ":5: folder_name: character U+4E2D has no Windows-1252 form");
    EXPECT_EQ(errorFor("folder_name = \"a\\tb\"\n"), ":5: folder_name: holds a control character");
}

TEST(Manifest, SyntaxErrorsNameTheLine) {
    const std::string message = errorFor("\n\nversion2 = = 3\n");
    EXPECT_EQ(message.compare(0, 4, ":7: "), 0) << message;
}

TEST(Manifest, TextBeyondAsciiOnlyInQuotesAndComments) {
    const std::string refused = "a character beyond ASCII outside quotes; put the text in quotes";
    EXPECT_EQ(errorFor("folder_name = 1\xC3\xA9\n"), ":5: " + refused);
    EXPECT_EQ(errorFor("\xC3\xA9 = \"x\"\n"), ":5: " + refused);
    EXPECT_EQ(errorFor("# caf\xC3\xA9 \"\nfolder_name = \"\\\"caf\xC3\xA9\\\"\" # \xC3\xA9\n[finish]\n"
                       "text = '''caf\xC3\xA9 ''\n'''\nwebsite = '\xC3\xA9'\n"),
              "no error");
    // A closing delimiter may follow quotes of the text; after it, bare text again.
    EXPECT_EQ(errorFor("[finish]\ntext = \"\"\"caf\xC3\xA9 \\\"\"\"\"\"\"\nwebsite = x\xC3\xA9\n"), ":7: " + refused);
    // Notepad starts UTF-8 files with a byte-order mark.
    EXPECT_EQ(errorFor("\xEF\xBB\xBFtitle = \"T\"\npublisher = \"P\"\nproduct = \"\xC3\xA9\"\nversion = \"1\"\n", false),
              "no error");
}

TEST(Manifest, MissingFileIsNamed) {
    try {
        loadManifest("/no/such/folder/product.toml");
        FAIL();
    } catch (const BuildError& error) {
        EXPECT_STREQ(error.what(), "/no/such/folder/product.toml: cannot open the manifest");
    }
}
