// halvbuild as a publisher runs it: what a build packs, read back by inspect
// through the installer's own reader; exit codes, one-line errors, and no
// output left behind by a failure.
#include <stdlib.h>

#include <algorithm>
#include <iterator>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "builder/builder_test.h"
#include "halvbuild/tool_paths.h"
#include "halvbuild/uninstaller_data.h"
#include "support/package_bytes.h"
#include "uninstall_list/uninstall_list.h"

using test_files::ScratchFolder;

namespace {

// The file's bytes; without CR for text, which Windows writes with CR LF.
std::string contentOf(const std::string& path, bool text = false) {
    const test_files::Bytes bytes = test_files::readFile(path);
    std::string content;
    std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(content), [&](char c) { return !text || c != '\r'; });
    return content;
}

struct ProgramRun { int exitCode; std::string out, err; };

// Runs the program built beside the tests; under Wine from Z: through cmd /c,
// which drops the outer quotation marks.
ProgramRun run(const ScratchFolder& scratch, const std::string& arguments) {
    const std::string redirected = arguments + " >\"" + scratch / "out.txt" + "\" 2>\"" + scratch / "err.txt" + "\"";
#ifdef _WIN32
    std::string program = "Z:" HALVBUILD_PROGRAM;
    std::replace(program.begin(), program.end(), '/', '\\');
    const int exitCode = system(("\"\"" + program + "\" " + redirected + "\"").c_str());
#else
    const int status = system(("\"" HALVBUILD_PROGRAM "\" " + redirected).c_str());
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return {exitCode, contentOf(scratch / "out.txt", true), contentOf(scratch / "err.txt", true)};
}

// Sixteen letters: streams with matches as well as literals.
std::string sample(size_t size, uint32_t seed) {
    std::string text;
    for (uint8_t byte : package_bytes::randomBytes(size, seed)) text += (char)('a' + byte % 16);
    return text;
}

std::string tools(const ScratchFolder& scratch, const std::string& installer = "tools/installer.exe") {
    put(scratch, "tools/installer.exe", "MZ program");
    return " --installer \"" + scratch / installer + "\" --uninstaller \"" + put(scratch, "tools/HalvUninstaller.exe", "MZ un") + "\"";
}

}  // namespace

// Sources, patterns and directories as laid out, and every manifest value, as
// inspect reads them back.
TEST(Halvbuild, BuildsWhatInspectReadsBack) {
    ScratchFolder scratch;
    for (const char* file : {"p/docs/.hidden.txt", "x/Alpha.exe", "x/.hidden.exe", "x/b.dat", "x/tool.exe"}) put(scratch, file);
    put(scratch, "p/app.exe", sample(5000, 1)), put(scratch, "p/docs/guide/start.txt", sample(70000, 2)), put(scratch, "p/docs/empty.txt", "");
    put(scratch, "licence.txt", "Terms\nMore terms\n");
    const std::string manifest = writeManifest(scratch, R"(folder_name = "Tester Testing"
licence = "licence.txt"
files = [{ source = "p" }, { source = "x/*.exe", directory = "lib/x" }, { source = "x/Alpha.exe" }]
shortcuts = [{ name = "Testing", target = "APP.exe" }]
group = { name = "Tester Testing", folders = [{ folder = "Docs", items = [{ name = "Start", target = "docs/guide/start.txt" }] },
                                              { folder = "Docs/More", items = [{ name = "Remove", target = "HalvUninstaller.exe" }] }] }
finish = { website = "https://example.com/t", program = "app.exe", help_file = "docs/guide/start.txt", text = "All done." }
)");
    const ProgramRun built = run(scratch, "build \"" + manifest + "\" -q -o \"" + scratch / "setup.exe" + "\"" + tools(scratch));
    EXPECT_EQ(std::to_string(built.exitCode) + built.out + built.err, "0");
    EXPECT_EQ(contentOf(scratch / "setup.exe").substr(0, 10), "MZ program");
    // The installed layout, with the uninstaller made for it, to compare every stream with.
    std::filesystem::copy(std::filesystem::u8path(scratch / "p"), std::filesystem::u8path(scratch / "v"), std::filesystem::copy_options::recursive);
    for (const char* file : {"v/Alpha.exe", "v/lib/x/Alpha.exe", "v/lib/x/tool.exe"}) put(scratch, file);
    const std::vector<uint8_t> uninstaller = makeUninstallerBytes(scratch / "tools/HalvUninstaller.exe", planProduct(loadManifest(manifest)));
    const std::string copy = put(scratch, "v/HalvUninstaller.exe", std::string(uninstaller.begin(), uninstaller.end()));
    const ProgramRun inspected = run(scratch, "inspect \"" + scratch / "setup.exe" + "\" --verify \"" + scratch / "v" + "\"");
    EXPECT_EQ(inspected.exitCode, 0) << inspected.out << inspected.err;
    std::vector<std::string> paths;
    for (size_t at = 0; (at = inspected.out.find("%  ", at)) != std::string::npos; at += 3)
        paths.push_back(inspected.out.substr(at + 3, inspected.out.find('\n', at) - at - 3));
    EXPECT_EQ(paths, (std::vector<std::string>{"\\Alpha.exe", "\\app.exe", "\\docs\\.hidden.txt", "\\docs\\empty.txt", "\\docs\\guide\\start.txt",
                                               "\\lib\\x\\Alpha.exe", "\\lib\\x\\tool.exe", "\\HalvUninstaller.exe"}));
    for (const std::string& part :
         {"Title        Test Setup\nPublisher    Tester\nProduct      Testing\nVersion      2.1\nBase folder  {PROGRAM_FILES}\n"
          "Folder name  Tester Testing\nLicence      19 bytes\nRequired     " + std::to_string(75004 + uninstaller.size()) +
              " bytes\nDirectories  5\n    0 \\\n    1 \\docs\\\n    2 \\docs\\guide\\\n    3 \\lib\\\n    4 \\lib\\x\\\nFiles        7\n",
          std::string("Shortcuts    1\n  {DESKTOP}\\Testing.lnk -> \\app.exe\nGroup        Tester Testing\n  \\\n  \\Docs\\\n    Start.lnk -> "
                      "\\docs\\guide\\start.txt\n  \\Docs\\More\\\n    Remove.lnk -> \\HalvUninstaller.exe\nWebsite      https://example.com/t\n"
                      "Program      \\app.exe\nHelp file    \\docs\\guide\\start.txt\nFinish text  All done.\nVerified")})
        EXPECT_NE(inspected.out.find(part), std::string::npos) << part;
    UninstallList list{};
    UninstallProblem problem = kUninstallNoProblem;
    ASSERT_EQ(readUninstallFile(copy.c_str(), &list, &problem), 1) << problem;
    ASSERT_EQ(std::vector<uint32_t>({list.directoryCount, list.fileCount, list.shortcutCount, list.groupFolderCount,
                                     list.groupFolderCount == 3 ? list.groupFolders[2].itemCount : 0}), std::vector<uint32_t>({5, 7, 1, 3, 1}));
    EXPECT_EQ(std::string(list.productName) + "|" + list.keyName + "|" + list.groupName + "|" + list.directories[4] + "|" +
                  std::to_string(list.files[6].directoryIndex) + list.files[6].name + "|" + list.groupFolders[2].folder + "|" +
                  list.groupFolders[2].items[0] + "|" + list.shortcuts[0].location + list.shortcuts[0].name,
              "Testing|Tester Testing 2.1|Tester Testing|\\lib\\x\\|4tool.exe|\\Docs\\More\\|Remove|{DESKTOP}Testing");
    freeUninstallList(&list);
}

TEST(Halvbuild, ExitCodesAndOneLineErrors) {
    ScratchFolder scratch;
    const std::string setup = put(scratch, "out/setup.exe", "older"), bad = scratch / "bad.exe", p = scratch / "p";
    for (const std::string file : {"p/a.txt", "p/sub/b.txt", "tools/empty.exe"}) put(scratch, file, file == "tools/empty.exe" ? "" : sample(9000, 3));
    const std::string build = "build \"" + writeManifest(scratch, "files = [{ source = \"p\" }]\n") + "\" -q -o \"" + setup + "\"";
    const std::string wrong = writeManifest(scratch, "files = [{ source = \"p\", colour = \"red\" }]\n", "wrong.toml");
    const std::string verify = "inspect \"" + setup + "\" --verify \"" + p + "\"", notAll = "halvbuild: " + setup + ": 1 of 3 files do not match " + p + "\n";
    const struct {
        std::string change;  // first: "-" removes p/a.txt, "!" and "/" damage and cut a copy, others go into p/sub/b.txt
        std::string arguments;
        int exitCode;
        std::string err, out = "";  // standard error (one line for usage errors), a part of standard output
    } cases[] = {
        // A failed build leaves an older installer as it was and no temporary file.
        {"", "build \"" + wrong + "\" -o \"" + setup + "\"" + tools(scratch), 1, "halvbuild: " + wrong + ":5: files[1].colour: unknown key\n"},
        {"", build + " --installer \"" + scratch / "none" + "\"", 1, "halvbuild: --installer " + scratch / "none" + ": no such file\n"},
        {"", build + tools(scratch, "tools/empty.exe"), 1, "halvbuild: " + scratch / "tools/empty.exe" + ": the installer program is empty\n"},
        {"", build + tools(scratch), 0, ""},
        {"", verify, 0, "", "Verified"},
        {sample(9000, 4), verify, 1, notAll, "DIFFERS      \\sub\\b.txt: differs at byte "},
        {sample(9000, 3) + "x", verify, 1, notAll, "DIFFERS      \\sub\\b.txt: differs in length"},
        {"-", verify, 1, "halvbuild: " + setup + ": 2 of 3 files do not match " + p + "\n", "DIFFERS      \\a.txt: missing from the folder"},
        {"!", "inspect \"" + bad + "\"", 1, "halvbuild: " + bad + ": the checksum does not match: the file was changed or cut short\n"},
        {"/", "inspect \"" + bad + "\"", 1, "halvbuild: " + bad + ": not an installer file (no trailer that describes it, or a damaged header)\n"},
        {"", "", 2, ""},
        {"", "build", 2, ""},
        {"", "--version", 0, "", "halvbuild "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string installer = contentOf(setup);
        if (c.change == "-") test_files::removeTree(scratch / "p/a.txt");
        else if (c.change == "!") put(scratch, "bad.exe", (installer[installer.size() - 100] ^= 0x20, installer));
        else if (c.change == "/") put(scratch, "bad.exe", installer.substr(0, installer.size() - 1));
        else if (!c.change.empty()) put(scratch, "p/sub/b.txt", c.change);
        const ProgramRun result = run(scratch, c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(c.exitCode == 2 && result.err.find('\n') + 1 == result.err.size() ? "" : result.err, c.err);
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        if (c.arguments.rfind("build", 0) == 0 && c.exitCode == 1) {
            EXPECT_TRUE(contentOf(setup) == "older");
        }
        EXPECT_EQ(test_files::listTree(scratch / "out"), std::vector<std::string>{"setup.exe"}) << "a file was left behind";
    }
}

TEST(Halvbuild, SameBytesOnAnyThreadCount) {
    ScratchFolder scratch;
    for (int i = 0; i < 40; ++i) put(scratch, "p/d" + std::to_string(i % 5) + "/f" + std::to_string(i), sample(1000 + 997 * i, i));
    const std::string build = "build \"" + writeManifest(scratch, "files = [{ source = \"p\" }]\n") + "\" -q" + tools(scratch);
    const std::string jobs[] = {"1", "4", "4"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run(scratch, build + " -j " + jobs[i] + " -o \"" + scratch / std::to_string(i) + "\"").exitCode, 0);
    EXPECT_GT(contentOf(scratch / "0").size(), 40000u);
    EXPECT_EQ(contentOf(scratch / "0"), contentOf(scratch / "1"));
    EXPECT_EQ(contentOf(scratch / "0"), contentOf(scratch / "2"));
}

TEST(Halvbuild, FindsTheUninstallerBesideItself) {
    ScratchFolder scratch;
    const std::string folder = scratch.path().substr(0, scratch.path().size() - 1);
    EXPECT_EQ(std::filesystem::u8path(findTool(ToolKind::Uninstaller, "", folder)), std::filesystem::u8path(put(scratch, "HalvUninstaller.exe")));
}
