// How the layout is derived shows in what halvbuild packs (cli_test.cpp);
// here, what planning refuses, and the limits it keeps.
#include "halvbuild/product_layout.h"

#include <gtest/gtest.h>

#include "builder/builder_test.h"

using test_files::ScratchFolder;

// Under "C:\Program Files\" + 200 bytes + "\" a file's name may have 41 bytes
// (260 in all) and a directory entry 28 (247 with the backslash between).
TEST(ProductLayout, RefusalsAndLimitsNameLineAndField) {
    const std::string files = "files = [{ source = \"p\" }]\n", deep = "folder_name = \"" + std::string(200, 'F') + "\"\n" + files;
    const std::string both = "files = [{ source = \"p\" }, { source = \"q\" }]\n", website = "finish = { website = \"";
    std::string accents;
    for (int i = 0; i < 259; ++i) accents += "\xC3\xA9";  // one package byte each
    std::vector<std::string> folders255;
    for (int i = 0; i < 255; ++i) folders255.push_back("p/d" + std::to_string(i) + "/");
    const struct {
        std::vector<std::string> files;
        std::string rest, message;  // message: a part of it
        std::string licence = "";   // licence.txt
    } cases[] = {
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
        // Limits, each beside the limit itself.
        {{}, website + std::string(259, 'w') + "\" }\n", "no error"},
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
        ScratchFolder scratch;
        for (const std::string& file : c.files) put(scratch, file);
        if (!c.licence.empty()) put(scratch, "licence.txt", c.licence);
        const std::string path = writeManifest(scratch, c.rest);
        const std::string message = errorAfter(path, [&] { planProduct(loadManifest(path)); });
        EXPECT_NE(message.find(c.message), std::string::npos) << c.rest.substr(0, 80) << "\n" << message;
    }
    ProductLayout layout;
    layout.productBytes = 4294967295u - 100;
    setRequiredSpace(&layout, 100);
    EXPECT_EQ(layout.header.requiredSpace, 4294967295u);
    EXPECT_THROW(setRequiredSpace(&layout, 101), BuildError);
}
