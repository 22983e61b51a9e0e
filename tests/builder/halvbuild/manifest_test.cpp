// Reading the manifest and planning the layout from it: what each refuses, naming file, line and field, and the limits
// they keep. How a layout is laid out shows in what halvbuild packs (cli_test.cpp).
#include "halvbuild/manifest.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "builder/builder_test.h"
#include "halvbuild/ansi_text.h"
#include "halvbuild/product_layout.h"

TEST(AnsiText, ConvertsWhatWindows1252HoldsAndRefusesTheRest) {
    EXPECT_EQ(toAnsi("Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8"), "Caf\xE9 \x80 \x93q\x94 \x9F");
    std::string used;  // every byte Windows-1252 uses
    for (int byte = 1; byte < 256; ++byte)
        if (std::string("\x81\x8D\x8F\x90\x9D").find((char)byte) == std::string::npos) used += (char)byte;
    EXPECT_EQ(toAnsi(fromAnsi(used)), used);
    // U+4E2D, U+0081 (a byte Windows-1252 leaves unused), not UTF-8, cut short, overlong twice, a NUL
    for (const std::string& text : {std::string("\xE4\xB8\xAD"), std::string("\xC2\x81"), std::string("bad \xE9 byte"), std::string("\xC3"),
                                    std::string("\xC0\xAF"), std::string("\xE0\x80\xAF"), std::string("a\0b", 3)})
        EXPECT_THROW(toAnsi(text), std::invalid_argument) << text;
    EXPECT_EQ(licenceToAnsi("\xEF\xBB\xBF" "a\nb\r\nc\rna\xC3\xAFve\n\n"), "a\r\nb\r\nc\r\nna\xEFve\r\n\r\n");
    EXPECT_EQ(licenceToAnsi("na\xEFve\n"), "na\xEFve\r\n");  // not UTF-8: taken as Windows-1252 already
    EXPECT_THROW(licenceToAnsi(std::string("a\0b", 3)), std::invalid_argument);
}

// Literal strings keep every character as written; the TOML library is given them as escaped strings.
TEST(Manifest, ReadsLiteralStringsAsWritten) {
    test_files::ScratchFolder scratch;
    const Manifest manifest =
        loadManifest(writeManifest(scratch, "[finish]\nwebsite = 'caf\\u00e9\\b \"q\" \xC3\xA9'\nhelp_file = '''\n'x' \"\"\"\xC3\xA9'''''\n"));
    EXPECT_EQ(manifest.website.value + "|" + manifest.helpFile.value, "caf\\u00e9\\b \"q\" \xE9|'x' \"\"\"\xE9''");
}

TEST(Manifest, RefusalsAndLimitsNameFileLineAndField) {
    const std::string beyondAscii = "a character beyond ASCII outside quotes; put the text in quotes",
                      badEscape = "a backslash before a character beyond ASCII; escapes are ASCII";
    const std::string files = "files = [{ source = \"p\" }]\n", deep = "folder_name = \"" + std::string(200, 'F') + "\"\n" + files;
    const std::string both = "files = [{ source = \"p\" }, { source = \"q\" }]\n", website = "finish = { website = \"";
    std::string accents;  // 259 package bytes
    std::vector<std::string> folders255;
    for (int i = 0; i < 259; ++i) accents += "\xC3\xA9", folders255.push_back("p/d" + std::to_string(i) + "/");
    folders255.resize(255);
    // Each row: the files to make (a folder ends in '/'); the manifest after its required keys, or all of it when it sets
    // the title; how the message starts when it names a line, else a part of it; licence.txt. Each limit is shown beside
    // the limit itself: under "C:\Program Files\" + 200 bytes + "\" a file name may have 41 bytes (260 in all) and a
    // directory entry 28 (247 with the "\").
    const struct {
        std::vector<std::string> files;
        std::string rest, message, licence = "";
    } cases[] = {
        {{}, "colour = \"blue\"\n", ":5: colour: unknown key"},
        {{}, "[[files]]\nsource = 3\n", ":6: files[1].source: must be a text in quotes"},
        {{}, "title = \"T\"\n", ": publisher: required key is missing"},
        {{}, "folder_name = \"\"\n", ":5: folder_name: must not be empty"},
        {{}, "shortcuts = [{ name = \"n\", target = \"t\", location = \"{STARTUP}\" }]\n", ":5: shortcuts[1].location: the installer knows only"},
        {{}, "\n\nversion2 = = 3\n", ":7:"},
        {{}, "folder_name = \"a\\tb\"\n", ":5: folder_name: holds a control character"},
        {{}, "[finish]\ntext = \"a\\tb\\r\\nc\"\n", "no error"},  // the finish text may hold tabs and lines
        {{}, "\xC3\xA9 = \"x\"\n", ":5: " + beyondAscii},  // text beyond ASCII only in quotes and comments
        {{}, "t =3\"docs/g\xEF\xBB\xAFl\"\n", ":5:"},  // quotes in a bare word belong to it, as TOML reads them (found by fuzzing)
        {{}, "t = [+[\"\xC3\xA9\"]]\n", ":5:"},
        {{}, "t = 1.\"\xC3\xA9\"\n", ":5:"},
        {{}, "tie =[[[[[+++++[''='''mber\xEF\xBA\xBF UNpro}}}\n", ":5:"},
        {{}, "t = [[\"\xC3\xA9\"]]\n", ":5: t: unknown key"},
        {{}, "a = \"x\"\"\xC3\xA9\"\n", ":5: Error while parsing key-value pair: expected a comment or whitespace, saw '\"'"},
        {{}, "\"k\xC3\xA9y\" = 1\n", ":5: k\xC3\xA9y: unknown key"},  // a quoted key starts a line
        {{}, "[finish]\ntext = \"\"\"\"e\\\xEF\xBB\xBE\\\\]\"\"\"\n", ":6: " + badEscape},  // escapes are ASCII (found by fuzzing)
        {{}, "folder_name = \"a\\\xC3\xA9\"\n", ":5: " + badEscape},
        {{}, "[finish]\ntext = \"\"\"x \\\n  \xC3\xA9\"\"\"\n", "no error"},  // a line-ending backslash
        {{}, "folder_name = \"caf\xC3\n\"\n", ":5: is not valid UTF-8"},
        {{}, "folder_name = \"\xF0\x9F\x98\x80\"\n", ":5: folder_name: character U+1F600 has no Windows-1252 form"},
        {{}, "# caf\xC3\xA9 \"\n[finish]\nwebsite = \"\\\"caf\xC3\xA9\\\"\" # \xC3\xA9\ntext = '''caf\xC3\xA9 ''\n'''\n", "no error"},
        {{}, "[finish]\ntext = \"\"\"caf\xC3\xA9 \\\"\"\"\"\"\"\nwebsite = x\xC3\xA9\n", ":7: " + beyondAscii},  // after the text, bare again
        {{}, "\xEF\xBB\xBFtitle = \"T\"\npublisher = \"P\"\nproduct = \"\xC3\xA9\"\nversion = \"1\"\n", "no error"},  // as Notepad writes
        {{"p/a"}, "files = [{ source = \"p/*.exe\" }]\n", ":5: files[1].source: nothing matches \"p/*.exe\""},
        {{"p/a"}, "files = [{ source = \"p/none\" }]\n", "none\": no such file or folder"},
        {{"p/a"}, "files = [{ source = \"*/a\" }]\n", ":5: files[1].source: * and ? may stand only in the last part"},
        {{"p/a"}, "files = [{ source = \"p\", directory = \"../up\" }]\n", ":5: files[1].directory: \"..\" leads out of its folder"},
        {{"p/a"}, "files = [{ source = \"p\", directory = \"C:/x\" }]\n", "\"C:\" holds \":\", which Windows does not allow"},
        {{"p/a"}, "files = [{ source = \"p\", directory = \"x/nul\" }]\n", "\"nul\" is a reserved device name"},
#ifndef _WIN32  // a name that only other systems' disks hold
        {{"p/tail."}, files, "ends in a blank or a dot"},
#endif
        {{"p/Read.txt", "q/read.TXT"}, both, "a second file would be installed as \"\\read.TXT\""},
        {{"p/\xC5\xB8", "q/\xC3\xBF"}, both, "a second file would be installed"},
        {{"p/Docs/x", "q/docs/y"}, both, "differ only in letter case"},
        {{"p/a", "q/a/b"}, both, "\"\\a\\\" would be both a file and a directory"},
        {{"p/HalvUninstaller.exe"}, files, "the uninstaller is installed as"},
        {{"p/a"}, files + "finish = { help_file = \"b\" }\n", ":6: finish.help_file: \"b\" is not a file of the product"},
        {{"p/a"}, files + "shortcuts = [{ name = \"a\", target = \"a\" }, { name = \"A\", target = \"a\" }]\n",
         ":6: shortcuts[2].name: a second shortcut of that name"},
        {{"p/a"}, files + "group = { name = \"G\", folders = [{ folder = \"X/Y\" }] }\n",
         ":6: group.folders[1].folder: its parent \"\\X\\\" must be listed before it"},
        {{}, "base_folder = \"{DESKTOP}\"\n", ":5: base_folder: must be \"{PROGRAM_FILES}\""},
        {{}, "licence = \"none.txt\"\n", ":5: licence: "},
        {{}, website + std::string(259, 'w') + "\" }\n", "no error"},  // limits, each beside the limit itself
        {{}, website + std::string(260, 'w') + "\" }\n", ":5: finish.website: is 260 bytes long; the limit is 259"},
        {{}, website + accents + "\" }\n", "no error"},
        {{"p/" + std::string(41, 'n')}, deep, "no error"},
        {{"p/" + std::string(42, 'n')}, deep, ":6: files[1].source: "},
        {{"p/" + std::string(42, 'n')}, deep, "is 261 bytes as the installer builds it; the limit is 260"},
        {{"p/" + std::string(26, 'd') + "/"}, deep, "no error"},
        {{"p/" + std::string(27, 'd') + "/"}, deep, "would pass the 247 characters Windows can create"},
        {{}, "folder_name = \"" + std::string(223, 'F') + "\"\n", "no error"},
        {{}, "folder_name = \"" + std::string(224, 'F') + "\"\n", ":5: folder_name: the default destination"},
        {std::vector<std::string>(folders255.begin(), folders255.end() - 1), files, "no error"},
        {folders255, files, ": files: the product has 256 directories; the installer takes at most 255"},
        {{}, "licence = \"licence.txt\"\n", "no error", std::string(8192, '\n')},  // 16384 bytes with CR LF
        {{}, "licence = \"licence.txt\"\n", "the licence is 16385 bytes with CR LF line ends", std::string(8192, '\n') + "x"},
    };
    for (const auto& c : cases) {
        test_files::ScratchFolder scratch;
        for (const std::string& file : c.files) put(scratch, file);
        if (!c.licence.empty()) put(scratch, "licence.txt", c.licence);
        const std::string path = c.rest.find("title = ") == std::string::npos ? writeManifest(scratch, c.rest) : put(scratch, "product.toml", c.rest);
        std::string message = path + "no error";
        try { planProduct(loadManifest(path)); } catch (const BuildError& error) { message = error.what(); }
        EXPECT_EQ(message.rfind(path, 0), 0u) << message << " does not name the manifest";
        message = message.substr(path.size());
        EXPECT_TRUE(c.message[0] == ':' ? message.rfind(c.message, 0) == 0 : message.find(c.message) != std::string::npos)
            << c.rest.substr(0, 80) << "\n" << message;
    }
    EXPECT_THROW(loadManifest("/no/such/product.toml"), BuildError);
    ProductLayout layout;
    layout.productBytes = 4294967295u - 100;
    EXPECT_EQ((setRequiredSpace(&layout, 100), layout.header.requiredSpace), 4294967295u);
    EXPECT_THROW(setRequiredSpace(&layout, 101), BuildError);
}
