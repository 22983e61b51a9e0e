#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace test_files {

Bytes readFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream output(path, std::ios::binary | std::ios::trunc);
    output.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    return output.good();
}

bool writeFile(const std::string& path, const std::string& text) {
    return writeFile(path, Bytes(text.begin(), text.end()));
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(path, ignored), end; !ignored && it != end; it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

std::vector<std::string> listTree(const std::string& folder) {
    std::vector<std::string> entries;
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(folder, ignored), end; !ignored && it != end; it.increment(ignored)) {
        std::string relative = fs::relative(it->path(), folder, ignored).string();
        if (it->is_directory(ignored)) relative += (char)fs::path::preferred_separator;
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

ScratchFolder::ScratchFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "halv-" + std::string(test ? test->name() : "test") + "-" + std::to_string(std::random_device()());
    std::replace(name.begin(), name.end(), '/', '-');
    fs::path folder = fs::temp_directory_path() / name;
    fs::create_directories(folder);
    path_ = folder.string() + (char)fs::path::preferred_separator;
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

std::string ScratchFolder::operator/(const std::string& relative) const {
    std::string joined = path_ + relative;
    std::replace(joined.begin(), joined.end(), '/', (char)fs::path::preferred_separator);
    return joined;
}

}  // namespace test_files
