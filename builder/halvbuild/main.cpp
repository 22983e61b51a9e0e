// halvbuild: packs a product described by a TOML manifest into an installer
// file, and reads installer files back.
//
//   halvbuild build MANIFEST [-o OUTPUT] [--installer PATH] [--uninstaller PATH] [-j N] [-q]
//   halvbuild inspect INSTALLER [--verify FOLDER]
//
// Exit code 0 on success; 1 with one line on standard error when the build
// or the inspection fails; 2 when the command line is wrong. Arguments,
// paths and output are UTF-8 on every system (platform.h).
#include <stdio.h>

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "halvbuild/build_error.h"
#include "halvbuild/inspect.h"
#include "halvbuild/manifest.h"
#include "halvbuild/pack.h"
#include "halvbuild/platform.h"
#include "halvbuild/progress.h"
#include "halvbuild/tool_paths.h"

namespace fs = std::filesystem;

namespace {

struct BuildArguments {
    std::string manifest;
    std::string output;
    std::string installer;
    std::string uninstaller;
    unsigned threads = 0;
    bool quiet = false;
};

struct InspectArguments {
    std::string installer;
    std::string verifyFolder;
};

// Beside the manifest, named after it: product.toml gives product-setup.exe,
// its folder spelt as the user wrote it.
std::string defaultOutput(const std::string& manifest) {
    const fs::path path = fs::u8path(manifest);
    const std::string name = path.filename().u8string();
    return manifest.substr(0, manifest.size() - name.size()) + path.stem().u8string() + "-setup.exe";
}

int runBuild(const BuildArguments& arguments, const std::string& builderFolder) {
    const Manifest manifest = loadManifest(arguments.manifest);
    PackOptions options;
    options.outputPath = arguments.output.empty() ? defaultOutput(arguments.manifest) : arguments.output;
    options.installerProgram = findTool(ToolKind::Installer, arguments.installer, builderFolder);
    options.uninstallerProgram = findTool(ToolKind::Uninstaller, arguments.uninstaller, builderFolder);
    options.threads = arguments.threads;
    options.progress = progressStyleFor(stderr, arguments.quiet);
    const PackResult result = packInstaller(manifest, options);
    if (!arguments.quiet)
        printText(stdout, "Wrote %s: %u files, %s, packed into %s (of which the installer program is %s)\n",
               options.outputPath.c_str(), (unsigned)result.fileCount, byteText(result.productBytes).c_str(),
               byteText(result.outputBytes).c_str(), byteText(result.programBytes).c_str());
    return 0;
}

int runInspect(const InspectArguments& arguments) {
    const InspectResult result = inspectInstaller(arguments.installer, arguments.verifyFolder, stdout);
    if (arguments.verifyFolder.empty()) return 0;
    if (result.differences != 0)
        throw BuildError(arguments.installer + ": " + std::to_string(result.differences) + " of " +
                         std::to_string(result.fileCount + 1) + " files do not match " + arguments.verifyFolder);
    printText(stdout, "Verified     every stream expands to the file under %s\n", arguments.verifyFolder.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    try {
        arguments = utf8Arguments(argc, argv);
    } catch (const std::exception& error) {
        printText(stderr, "halvbuild: the command line is not valid Unicode: %s\n", error.what());
        return 2;
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    CLI::App app("Packs a product described by a TOML manifest into an installer file.", "halvbuild");
    app.set_version_flag("--version", std::string("halvbuild ") + HALVBUILD_VERSION);
    app.require_subcommand(1);

    BuildArguments build;
    CLI::App* buildCommand = app.add_subcommand("build", "Pack the product that MANIFEST describes");
    buildCommand->add_option("manifest", build.manifest, "The product's TOML manifest")->required();
    buildCommand->add_option("-o,--output", build.output, "The installer file to write (default: MANIFEST's name with -setup.exe)");
    buildCommand->add_option("--installer", build.installer, "The installer program to use (installer.exe)");
    buildCommand->add_option("--uninstaller", build.uninstaller, "The uninstaller to pack (HalvUninstaller.exe)");
    buildCommand->add_option("-j,--jobs", build.threads, "Compression threads (default: one per core)")
        ->check(CLI::Range(1u, 256u));
    buildCommand->add_flag("-q,--quiet", build.quiet, "Print nothing but errors");

    InspectArguments inspect;
    CLI::App* inspectCommand = app.add_subcommand("inspect", "Check an installer file and print what it holds");
    inspectCommand->add_option("installer", inspect.installer, "The installer file")->required();
    inspectCommand->add_option("--verify", inspect.verifyFolder,
                               "Expand every file and compare it with the file at its place under FOLDER");

    try {
        app.parse((int)pointers.size(), pointers.data());
    } catch (const CLI::CallForHelp& request) {
        return app.exit(request);
    } catch (const CLI::CallForVersion& request) {
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        printText(stderr, "halvbuild: %s (see halvbuild --help)\n", error.what());
        return 2;
    }
    try {
        if (*buildCommand) return runBuild(build, runningProgramFolder(argv[0]));
        return runInspect(inspect);
    } catch (const BuildError& error) {
        printText(stderr, "halvbuild: %s\n", error.what());
    } catch (const std::exception& error) {
        printText(stderr, "halvbuild: %s\n", error.what());
    }
    return 1;
}
