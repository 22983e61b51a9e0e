// What the builder's tests share: product trees on disk and their manifest.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "halvbuild/build_error.h"
#include "support/files.h"

// Writes relative (slashes between parts) below folder with its folders; one
// ending in '/' is a folder only.
inline std::string put(const test_files::ScratchFolder& folder, const std::string& relative, const std::string& content = "x") {
    const std::string path = folder / relative;
    const std::filesystem::path made = std::filesystem::u8path(path);  // UTF-8 names on Windows too
    std::filesystem::create_directories(relative.back() == '/' ? made : made.parent_path());
    if (relative.back() != '/') std::ofstream(made, std::ios::binary) << content;
    return path;
}

inline std::string writeManifest(const test_files::ScratchFolder& folder, const std::string& rest, const std::string& name = "product.toml") {
    return put(folder, name, "title = \"Test Setup\"\npublisher = \"Tester\"\nproduct = \"Testing\"\nversion = \"2.1\"\n" + rest);
}

// The BuildError that call throws, after path ("no error" when none).
inline std::string errorAfter(const std::string& path, const std::function<void()>& call) {
    try {
        call();
    } catch (const BuildError& error) {
        const std::string message = error.what();
        return message.compare(0, path.size(), path) == 0 ? message.substr(path.size()) : message;
    }
    return "no error";
}
