// halvbuild as a publisher runs it: what a build packs, read back by inspect through the installer's own reader; exit
// codes, one-line errors, the same bytes on any thread count, and nothing left behind by a failure.
#include <stdlib.h>

#include <algorithm>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "builder/builder_test.h"
#include "halvbuild/uninstaller_data.h"
#include "uninstall_list/uninstall_list.h"

struct ProgramRun { int exitCode; std::string out, err; };

// Runs the program built beside the tests; under Wine from Z: through cmd /c, which drops the outer quotation marks.
ProgramRun run(const test_files::ScratchFolder& scratch, const std::string& arguments) {
    const std::string redirected = arguments + " >\"" + scratch / "out.txt" + "\" 2>\"" + scratch / "err.txt" + "\"";
#ifdef _WIN32
    std::string program = "Z:" HALVBUILD_PROGRAM;
    std::replace(program.begin(), program.end(), '/', '\\');
    const int exitCode = system(("\"\"" + program + "\" " + redirected + "\"").c_str());
#else
    const int status = system(("\"" HALVBUILD_PROGRAM "\" " + redirected).c_str());
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::string text[2];  // without the CR that Windows writes before LF
    for (int i = 0; i < 2; ++i)
        for (uint8_t byte : test_files::readFile(scratch / (i ? "err.txt" : "out.txt"))) text[i] += byte == '\r' ? "" : std::string(1, (char)byte);
    return {exitCode, text[0], text[1]};
}

TEST(Halvbuild, BuildsInspectsAndFailsCleanly) {
    test_files::ScratchFolder scratch;
    // Files, a tree and a pattern, hidden files among them, that install as they lie in p.
    for (const char* file : {"p/Alpha.exe", "p/docs/.hidden.txt", "p/lib/x/Alpha.exe", "p/lib/x/.hidden.exe", "p/lib/x/b.dat", "p/lib/x/tool.exe",
                             "licence.txt"})
        put(scratch, file);
    put(scratch, "p/app.exe", std::string(5000, 'a')), put(scratch, "p/docs/guide/start.txt", std::string(70000, 's') + "t");
    put(scratch, "p/docs/empty.txt", "");
    const std::string manifest = writeManifest(scratch, R"(folder_name = "Tester Testing"
licence = "licence.txt"
files = [{ source = "p/app.exe" }, { source = "p/docs", directory = "docs" }, { source = "p/lib/x/*.exe", directory = "lib/x" },
         { source = "p/Alpha.exe" }]
shortcuts = [{ name = "Testing", target = "APP.exe" }]
group = { name = "Tester Testing", folders = [{ folder = "Docs", items = [{ name = "Start", target = "docs/guide/start.txt" }] },
                                              { folder = "Docs/More", items = [{ name = "Remove", target = "HalvUninstaller.exe" }] }] }
finish = { website = "https://example.com/t", program = "app.exe", help_file = "docs/guide/start.txt", text = "All done." }
)");
    const std::vector<uint8_t> uninstaller =
        makeUninstallerBytes(put(scratch, "tools/HalvUninstaller.exe", "MZ un"), planProduct(loadManifest(manifest)));
    const std::string copy = put(scratch, "p/HalvUninstaller.exe", std::string(uninstaller.begin(), uninstaller.end()));
    const std::string setup = put(scratch, "out/setup.exe", "older"), bad = scratch / "bad.exe", p = scratch / "p";
    const std::string tools = " --installer \"" + put(scratch, "tools/installer.exe", "MZ program") + "\" --uninstaller \"" +
                              scratch / "tools/HalvUninstaller.exe" + "\"";
    const std::string build = "build \"" + manifest + "\" -q -o \"" + setup + "\"", verify = "inspect \"" + setup + "\" --verify \"" + p + "\"";
    const std::string wrong = writeManifest(scratch, "files = [{ source = \"p\", colour = \"red\" }]\n", "wrong.toml");
    const std::string notAll = "halvbuild: " + setup + ": 1 of 8 files do not match " + p + "\n";
    // First a change: "-" removes p/app.exe, "!" and "/" damage and cut a copy, others go into p/docs/guide/start.txt. Then
    // all of standard error (one line for usage errors) and a part of standard output.
    const struct {
        std::string change, arguments;
        int exitCode;
        std::string err, out = "";
    } cases[] = {
        {"", "build \"" + wrong + "\" -o \"" + setup + "\"" + tools, 1, "halvbuild: " + wrong + ":5: files[1].colour: unknown key\n"},
        {"", build + " --installer \"" + scratch / "none" + "\"", 1, "halvbuild: --installer " + scratch / "none" + ": no such file\n"},
        {"", build + " --uninstaller \"" + copy + "\" --installer \"" + scratch / "p/docs/empty.txt" + "\"", 1,
         "halvbuild: " + scratch / "p/docs/empty.txt" + ": the installer program is empty\n"},
        {"", build + tools + " -j 1", 0, ""},  // the same bytes on every run, with one thread or several
        {"", build + tools + " -j 4", 0, ""},
        {"", verify, 0, "", "Verified"},
        {std::string(70000, 's') + "u", verify, 1, notAll, "DIFFERS      \\docs\\guide\\start.txt: differs at byte 70000\n"},
        {std::string(70000, 's') + "tu", verify, 1, notAll, "DIFFERS      \\docs\\guide\\start.txt: differs in length"},
        {"-", verify, 1, "halvbuild: " + setup + ": 2 of 8 files do not match " + p + "\n", "DIFFERS      \\app.exe: missing from the folder"},
        {"!", "inspect \"" + bad + "\"", 1, "halvbuild: " + bad + ": the checksum does not match: the file was changed or cut short\n"},
        {"/", "inspect \"" + bad + "\"", 1, "halvbuild: " + bad + ": not an installer file (no trailer that describes it, or a damaged header)\n"},
        {"", "", 2, ""},
        {"", "--version", 0, "", "halvbuild "},
    };
    test_files::Bytes built;  // by the last build
    std::string listing;    // by the first inspection
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const test_files::Bytes before = test_files::readFile(setup);
        std::string installer(before.begin(), before.end());
        if (c.change == "-") test_files::removeTree(scratch / "p/app.exe");
        else if (c.change == "!") put(scratch, "bad.exe", (installer.at(installer.size() - 100) ^= 0x20, installer));
        else if (c.change == "/") put(scratch, "bad.exe", installer.substr(0, installer.size() - 1));
        else if (!c.change.empty()) put(scratch, "p/docs/guide/start.txt", c.change);
        const ProgramRun result = run(scratch, c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(c.exitCode == 2 && result.err.find('\n') + 1 == result.err.size() ? "" : result.err, c.err);
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        if (c.out == "Verified") listing = result.out;
        const bool isBuild = c.arguments.rfind("build \"", 0) == 0;
        const test_files::Bytes after = test_files::readFile(setup);
        if (isBuild && c.exitCode == 1) { EXPECT_TRUE(after == before) << "a failed build changed its output"; }
        if (isBuild && c.exitCode == 0) { EXPECT_TRUE(built.empty() || after == built) << "other bytes on another run"; built = after; }
        EXPECT_EQ(test_files::listTree(scratch / "out"), std::vector<std::string>{"setup.exe"}) << "a file was left behind";
    }
    std::vector<std::string> paths;  // the files in package order
    for (size_t at = 0; (at = listing.find("%  ", at)) != std::string::npos; at += 3)
        paths.push_back(listing.substr(at + 3, listing.find('\n', at) - at - 3));
    EXPECT_EQ(paths, (std::vector<std::string>{"\\Alpha.exe", "\\app.exe", "\\docs\\.hidden.txt", "\\docs\\empty.txt", "\\docs\\guide\\start.txt",
                                               "\\lib\\x\\Alpha.exe", "\\lib\\x\\tool.exe", "\\HalvUninstaller.exe"}));
    const std::string parts[] = {
        "Package      at 10, ",
        "Title        Test Setup\nPublisher    Tester\nProduct      Testing\nVersion      2.1\nBase folder  {PROGRAM_FILES}\n"
        "Folder name  Tester Testing\nLicence      1 bytes\nRequired     " + std::to_string(75005 + uninstaller.size()) +
            " bytes\nDirectories  5\n    0 \\\n    1 \\docs\\\n    2 \\docs\\guide\\\n    3 \\lib\\\n    4 \\lib\\x\\\nFiles        7\n",
        "Shortcuts    1\n  {DESKTOP}\\Testing.lnk -> \\app.exe\nGroup        Tester Testing\n  \\\n  \\Docs\\\n"
        "    Start.lnk -> \\docs\\guide\\start.txt\n  \\Docs\\More\\\n    Remove.lnk -> \\HalvUninstaller.exe\nWebsite      https://example.com/t\n"
        "Program      \\app.exe\nHelp file    \\docs\\guide\\start.txt\nFinish text  All done.\nVerified"};
    for (const std::string& part : parts) EXPECT_NE(listing.find(part), std::string::npos) << part;
    UninstallList list{};
    UninstallProblem problem = kUninstallNoProblem;
    ASSERT_EQ(readUninstallFile(copy.c_str(), &list, &problem), 1) << problem;
    EXPECT_EQ(std::string(list.productName) + "|" + list.keyName + "|" + list.groupName + "|" + std::to_string(list.directoryCount) +
                  std::to_string(list.fileCount) + (list.fileCount == 7 ? list.files[6].name : "") + "|" +
                  (list.groupFolderCount == 3 && list.groupFolders[2].itemCount == 1 ? list.groupFolders[2].items[0] : "no item"),
              "Testing|Tester Testing 2.1|Tester Testing|57tool.exe|Remove");
    freeUninstallList(&list);
}
