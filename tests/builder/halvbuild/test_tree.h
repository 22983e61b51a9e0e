// A scratch folder for one test: files written into it, removed afterwards.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "halvbuild/manifest.h"

class TestTree {
public:
    TestTree() {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() / ("halvbuild-test-" + std::to_string(random()));
        std::filesystem::create_directories(root_);
    }
    ~TestTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    std::string path(const std::string& relative = std::string()) const {
        return (relative.empty() ? root_ : root_ / std::filesystem::u8path(relative)).u8string();
    }

    // Writes content to relative, creating its folders.
    std::string write(const std::string& relative, const std::string& content) const {
        const std::filesystem::path file = root_ / std::filesystem::u8path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(content.data(), (std::streamsize)content.size());
        return file.u8string();
    }

    std::string read(const std::string& relative) const {
        std::ifstream input(root_ / std::filesystem::u8path(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }

    // Writes product.toml with the four required keys in front of rest.
    std::string manifest(const std::string& rest) const {
        return write("product.toml",
                     "title = \"Test Setup\"\npublisher = \"Tester\"\nproduct = \"Testing\"\nversion = \"2.1\"\n" + rest);
    }

    // The file names directly under relative, sorted.
    std::vector<std::string> listing(const std::string& relative = std::string()) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_ / std::filesystem::u8path(relative)))
            names.push_back(entry.path().filename().u8string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path root_;
};

// Bytes that differ from file to file and compress a little.
inline std::string sampleBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (char)((state >> 16) % 7 == 0 ? (state >> 8) : 'a' + (state >> 20) % 4);
    }
    return bytes;
}
