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

// Every key's value, and every default, reaches an installer in the packing
// and layout tests; this checks what only the manifest shows: escapes, the
// conversion to Windows-1252, and where each value stands.
TEST(Manifest, ReadsEscapesAndWhereEachValueStands) {
    TestTree tree;
    const Manifest manifest = loadManifest(tree.manifest("folder_name = \"Tester\\\\Caf\xC3\xA9\"\n" R"([[files]]
source = "bin/*.exe"
[group]
name = "Testing"
[[group.folders]]
items = [{ name = "Read Me", target = "readme.txt" }]
[finish]
text = "Done.\nBye."
website = 'http://caf\u00e9.test/a\b "q" )" "\xC3\xA9'\n"
                                                     "help_file = '''\n'x' \"\"\"\xC3\xA9'''''\n"));
    EXPECT_EQ(manifest.folderName.value, "Tester\\Caf\xE9");
    EXPECT_EQ(manifest.finishText.value, "Done.\nBye.");
    // Literal strings keep every character as written.
    EXPECT_EQ(manifest.website.value, "http://caf\\u00e9.test/a\\b \"q\" \xE9");
    EXPECT_EQ(manifest.helpFile.value, "'x' \"\"\"\xE9''");
    ASSERT_EQ(manifest.files.size(), 1u);
    EXPECT_EQ(manifest.files[0].source.value, "bin/*.exe");
    EXPECT_EQ(manifest.files[0].source.spot.line, 7u);
    EXPECT_EQ(manifest.files[0].source.spot.field, "files[1].source");
    ASSERT_EQ(manifest.groupFolders.size(), 1u);
    EXPECT_EQ(manifest.groupFolders[0].items[0].target.value, "readme.txt");
    EXPECT_EQ(manifest.groupFolders[0].items[0].name.spot.field, "group.folders[1].items[1].name");
}

TEST(Manifest, ErrorsNameLineAndField) {
    // The limit counts the package's bytes, not UTF-8's: é is one byte there.
    std::string accents;
    for (int i = 0; i < 259; ++i) accents += "\xC3\xA9";
    const std::string beyondAscii = "a character beyond ASCII outside quotes; put the text in quotes";
    const std::string badEscape = "a backslash before a character beyond ASCII; escapes are ASCII";
    const struct {
        std::string rest;
        std::string message;  // ending in ':' when only the line is certain
        bool withRequired = true;
    } cases[] = {
        {"colour = \"blue\"\n", ":5: colour: unknown key"},
        {"[[files]]\nsource = \"a\"\ndestination = \"b\"\n", ":7: files[1].destination: unknown key"},
        {"[[files]]\nsource = 3\n", ":6: files[1].source: must be a text in quotes"},
        {"[[files]]\ndirectory = \"x\"\n", ": files[1].source: required key is missing"},
        {"title = \"T\"\n", ": publisher: required key is missing", false},
        {"folder_name = \"\"\n", ":5: folder_name: must not be empty"},
        {"[[shortcuts]]\nname = \"n\"\ntarget = \"t\"\nlocation = \"{STARTUP}\"\n",
         ":8: shortcuts[1].location: the installer knows only \"{DESKTOP}\""},
        {"[group]\n[[group.folders]]\n", ": group.name: required key is missing"},
        {"[finish]\nwebsite = \"a\nb\"\n", ":6:"},
        {"\n\nversion2 = = 3\n", ":7:"},
        {"[finish]\nwebsite = \"" + std::string(259, 'w') + "\"\n", "no error"},
        {"[finish]\nwebsite = \"" + std::string(260, 'w') + "\"\n",
         ":6: finish.website: is 260 bytes long; the limit is 259"},
        {"folder_name = \"" + accents + "\"\n", "no error"},
        {"folder_name = \"\xE4\xB8\xAD\"\n", ":5: folder_name: character U+4E2D has no Windows-1252 form"},
        {"folder_name = \"a\\tb\"\n", ":5: folder_name: holds a control character"},
        // Text beyond ASCII only in quotes and comments.
        {"folder_name = 1\xC3\xA9\n", ":5: " + beyondAscii},
        {"\xC3\xA9 = \"x\"\n", ":5: " + beyondAscii},
        // Quotes inside a bare word, which the TOML library reads as part of
        // the word: the library refuses them itself, seeing only ASCII (found
        // by fuzzing).
        {"t =3\"docs/g\xEF\xBB\xAFl\"\n", ":5:"},
        {"t = [+[\"\xC3\xA9\"]]\n", ":5:"},
        {"t = 1.\"\xC3\xA9\"\n", ":5:"},
        {"tie =[[[[[+++++[''='''mber\xEF\xBA\xBF UNpro}}}\n", ":5:"},
        {"t = [[\"\xC3\xA9\"]]\n", ":5: t: unknown key"},
        // Strings side by side: the library refuses the second itself.
        {"a = \"x\"\"\xC3\xA9\"\n", ":5: Error while parsing key-value pair: expected a comment or whitespace, saw '\"'"},
        {"\"k\xC3\xA9y\" = 1\n", ":5: k\xC3\xA9y: unknown key"},  // a quoted key starts a line
        // Escapes are ASCII (found by fuzzing).
        {"[finish]\ntext = \"\"\"\"e\\\xEF\xBB\xBE\\\\]\"\"\"\n", ":6: " + badEscape},
        {"folder_name = \"a\\\xC3\xA9\"\n", ":5: " + badEscape},
        {"[finish]\ntext = \"\"\"x \\\n  \xC3\xA9\"\"\"\n", "no error"},  // a line-ending backslash
        {"folder_name = \"caf\xC3\n\"\n", ":5: is not valid UTF-8"},
        {"folder_name = \"\xF0\x9F\x98\x80\"\n", ":5: folder_name: character U+1F600 has no Windows-1252 form"},
        {"# caf\xC3\xA9 \"\nfolder_name = \"\\\"caf\xC3\xA9\\\"\" # \xC3\xA9\n[finish]\n"
         "text = '''caf\xC3\xA9 ''\n'''\nwebsite = '\xC3\xA9'\n",
         "no error"},
        // A closing delimiter may follow quotes of the text; after it, bare text again.
        {"[finish]\ntext = \"\"\"caf\xC3\xA9 \\\"\"\"\"\"\"\nwebsite = x\xC3\xA9\n", ":7: " + beyondAscii},
        // Notepad starts UTF-8 files with a byte-order mark.
        {"\xEF\xBB\xBFtitle = \"T\"\npublisher = \"P\"\nproduct = \"\xC3\xA9\"\nversion = \"1\"\n", "no error", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rest.substr(0, 60));
        const std::string message = errorFor(c.rest, c.withRequired);
        if (c.message.back() == ':')
            EXPECT_EQ(message.compare(0, c.message.size() + 1, c.message + " "), 0) << message;
        else
            EXPECT_EQ(message, c.message);
    }
}

TEST(Manifest, MissingFileIsNamed) {
    try {
        loadManifest("/no/such/folder/product.toml");
        FAIL();
    } catch (const BuildError& error) {
        EXPECT_STREQ(error.what(), "/no/such/folder/product.toml: cannot open the manifest");
    }
}
