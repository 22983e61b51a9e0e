#include "halvbuild/manifest.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "builder/builder_test.h"
#include "halvbuild/ansi_text.h"

using test_files::ScratchFolder;

// Escapes and literal strings as TOML reads them, in Windows-1252; where a
// value stands is checked by the errors below.
TEST(Manifest, ReadsEscapesAndLiteralStrings) {
    ScratchFolder scratch;
    const Manifest manifest = loadManifest(writeManifest(scratch, "folder_name = \"Tester\\\\Caf\xC3\xA9\"\n[finish]\n"
                                                                  R"(website = 'http://caf\u00e9.test/a\b "q" )" "\xC3\xA9'\n"
                                                                  "help_file = '''\n'x' \"\"\"\xC3\xA9'''''\n"));
    EXPECT_EQ(manifest.folderName.value, "Tester\\Caf\xE9");
    EXPECT_EQ(manifest.website.value, "http://caf\\u00e9.test/a\\b \"q\" \xE9");
    EXPECT_EQ(manifest.helpFile.value, "'x' \"\"\"\xE9''");
}

TEST(Manifest, ErrorsNameLineAndField) {
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
        {"\n\nversion2 = = 3\n", ":7:"},
        {"folder_name = \"\xE4\xB8\xAD\"\n", ":5: folder_name: character U+4E2D has no Windows-1252 form"},
        {"folder_name = \"a\\tb\"\n", ":5: folder_name: holds a control character"},
        {"[finish]\ntext = \"a\\tb\\r\\nc\"\n", "no error"},  // the finish text may hold tabs and lines
        // Text beyond ASCII only in quotes and comments.
        {"folder_name = 1\xC3\xA9\n", ":5: " + beyondAscii},
        {"\xC3\xA9 = \"x\"\n", ":5: " + beyondAscii},
        // Quotes inside a bare word belong to it, as the TOML library reads
        // them; the library refuses them seeing only ASCII (found by fuzzing).
        {"t =3\"docs/g\xEF\xBB\xAFl\"\n", ":5:"},
        {"t = [+[\"\xC3\xA9\"]]\n", ":5:"},
        {"t = 1.\"\xC3\xA9\"\n", ":5:"},
        {"tie =[[[[[+++++[''='''mber\xEF\xBA\xBF UNpro}}}\n", ":5:"},
        {"t = [[\"\xC3\xA9\"]]\n", ":5: t: unknown key"},
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
        ScratchFolder scratch;
        const std::string path = c.withRequired ? writeManifest(scratch, c.rest) : put(scratch, "product.toml", c.rest);
        const std::string message = errorAfter(path, [&] { loadManifest(path); });
        if (c.message.back() == ':')
            EXPECT_EQ(message.compare(0, c.message.size() + 1, c.message + " "), 0) << message;
        else
            EXPECT_EQ(message, c.message);
    }
    EXPECT_EQ(errorAfter("", [] { loadManifest("/no/such/product.toml"); }), "/no/such/product.toml: cannot open the manifest");
}

TEST(AnsiText, ConvertsToWindows1252AndBack) {
    EXPECT_EQ(toAnsi("Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8"), "Caf\xE9 \x80 \x93q\x94 \x9F");
    std::string used;
    for (int byte = 1; byte < 256; ++byte)
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D) used += (char)byte;
    EXPECT_EQ(toAnsi(fromAnsi(used)), used);
}

TEST(AnsiText, RefusesWhatTheInstallerCannotShow) {
    const std::string refused[] = {"\xE4\xB8\xAD",    // U+4E2D: not in Windows-1252
                                   "\xC2\x81",        // U+0081: a byte Windows-1252 leaves unused
                                   "bad \xE9 byte", "\xC3", "\xC0\xAF", "\xE0\x80\xAF",  // not UTF-8, cut, overlong
                                   std::string("a\0b", 3)};
    for (const std::string& text : refused) EXPECT_THROW(toAnsi(text), std::invalid_argument) << text;
}

TEST(AnsiText, LicenceGetsCrLfLineEnds) {
    EXPECT_EQ(licenceToAnsi("a\nb\r\nc\rd\n\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(licenceToAnsi("\xEF\xBB\xBFna\xC3\xAFve\n"), "na\xEFve\r\n");
    EXPECT_EQ(licenceToAnsi("na\xEFve\n"), "na\xEFve\r\n");  // not UTF-8: taken as Windows-1252 already
    EXPECT_THROW(licenceToAnsi(std::string("a\0b", 3)), std::invalid_argument);
}
