// What halvbuild's tests share: product trees, their manifest, and the
// BuildError a call throws.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "halvbuild/build_error.h"
#include "support/files.h"

// Writes relative (slashes between parts; a folder only when it ends in one)
// below folder, making its folders; UTF-8 names on Windows too.
inline std::string put(const test_files::ScratchFolder& folder, const std::string& relative, const std::string& content = "x") {
    const std::filesystem::path made = std::filesystem::u8path(folder / relative);
    std::filesystem::create_directories(relative.back() == '/' ? made : made.parent_path());
    if (relative.back() != '/') std::ofstream(made, std::ios::binary) << content;
    return folder / relative;
}

inline std::string writeManifest(const test_files::ScratchFolder& folder, const std::string& rest, const std::string& name = "product.toml") {
    return put(folder, name, "title = \"Test Setup\"\npublisher = \"Tester\"\nproduct = \"Testing\"\nversion = \"2.1\"\n" + rest);
}

// The message after path ("no error" when call throws none).
inline std::string errorAfter(const std::string& path, const std::function<void()>& call) {
    try {
        call();
    } catch (const BuildError& error) {
        const std::string message = error.what();
        return message.compare(0, path.size(), path) == 0 ? message.substr(path.size()) : message;
    }
    return "no error";
}
