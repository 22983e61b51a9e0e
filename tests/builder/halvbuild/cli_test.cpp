// The program as a publisher runs it: exit codes, one-line errors, no output
// left behind.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "test_tree.h"

namespace {

struct ProgramRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Windows writes text streams with CR LF line ends.
std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// The program built beside the tests; under Wine the build tree is on Z:.
std::string programPath() {
#ifdef _WIN32
    std::string path = std::string("Z:") + HALVBUILD_PROGRAM;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
#else
    return HALVBUILD_PROGRAM;
#endif
}

ProgramRun runHalvbuild(const TestTree& tree, const std::string& arguments) {
    std::string command = "\"" + programPath() + "\" " + arguments + " >\"" + tree.path("stdout.txt") + "\" 2>\"" +
                          tree.path("stderr.txt") + "\"";
#ifdef _WIN32
    // cmd /c drops the first and the last quotation mark of its command.
    command = "\"" + command + "\"";
#endif
    const int status = system(command.c_str());
#ifdef _WIN32
    const int exitCode = status;
#else
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    ProgramRun run{exitCode, withoutCarriageReturns(tree.read("stdout.txt")),
                   withoutCarriageReturns(tree.read("stderr.txt"))};
    std::filesystem::remove(tree.path("stdout.txt"));
    std::filesystem::remove(tree.path("stderr.txt"));
    return run;
}

std::string tools(const TestTree& tree) {
    return " --installer \"" + tree.write("tools/installer.exe", "MZ program") + "\" --uninstaller \"" +
           tree.write("tools/un.exe", "MZ uninstaller") + "\"";
}

}  // namespace

TEST(Cli, BuildAndInspect) {
    TestTree tree;
    tree.write("product/a.txt", sampleBytes(2000, 1));
    const std::string manifest = tree.manifest("[[files]]\nsource = \"product\"\n");
    const std::string output = tree.path("setup.exe");
    const ProgramRun built = runHalvbuild(tree, "build \"" + manifest + "\" -q -o \"" + output + "\"" + tools(tree));
    EXPECT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(built.out, "");
    EXPECT_EQ(built.err, "");
    const ProgramRun inspected = runHalvbuild(tree, "inspect \"" + output + "\" --verify \"" + tree.path("product") + "\"");
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_NE(inspected.out.find("Title        Test Setup"), std::string::npos);
    EXPECT_NE(inspected.out.find("Verified"), std::string::npos);
}

TEST(Cli, ManifestErrorIsOneLineAndLeavesNoOutput) {
    TestTree tree;
    const std::string manifest = tree.manifest("[[files]]\nsource = \"product\"\ncolour = \"red\"\n");
    const ProgramRun run = runHalvbuild(tree, "build \"" + manifest + "\" -o \"" + tree.path("setup.exe") + "\"" + tools(tree));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "halvbuild: " + manifest + ":7: files[1].colour: unknown key\n");
    EXPECT_FALSE(std::filesystem::exists(tree.path("setup.exe")));
}

TEST(Cli, UsageErrorsAndVersion) {
    TestTree tree;
    EXPECT_EQ(runHalvbuild(tree, "").exitCode, 2);
    EXPECT_EQ(runHalvbuild(tree, "build").exitCode, 2);
    const ProgramRun version = runHalvbuild(tree, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.compare(0, 10, "halvbuild "), 0) << version.out;
    const ProgramRun help = runHalvbuild(tree, "build --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--uninstaller"), std::string::npos);
}
