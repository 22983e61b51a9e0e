// Manifests made of bytes a publisher would not write, as the fuzzer found
// them: each must end in a BuildError, never in the TOML library's undefined
// behaviour.
#include <gtest/gtest.h>

#include "halvbuild/manifest.h"
#include "test_tree.h"

namespace {

std::string errorFor(const std::string& bytes) {
    TestTree tree;
    const std::string path = tree.write("product.toml", bytes);
    try {
        loadManifest(path);
    } catch (const BuildError& error) {
        const std::string message = error.what();
        return message.compare(0, path.size(), path) == 0 ? message.substr(path.size()) : message;
    }
    return "no error";
}

}  // namespace

TEST(ManifestBytes, CharactersTheParserCannotClassifyAreRefused) {
    EXPECT_EQ(errorFor("\xEF\xBB\xA3\x04"), ":1: character U+FEE3 is not supported");
    EXPECT_EQ(errorFor("title = \"a\"\n\xEF\xBA\x86"), ":2: character U+FE86 is not supported");
    EXPECT_EQ(errorFor("# \xEF\xBB\xBE\n"), ":1: character U+FEFE is not supported");
}

TEST(ManifestBytes, NeighbouringCharactersStillReachTheParser) {
    // U+FE85 and the byte order mark U+FEFF sit either side of the refused range.
    EXPECT_EQ(errorFor("# \xEF\xBA\x85\n").find("not supported"), std::string::npos);
    EXPECT_EQ(errorFor("\xEF\xBB\xBFtitle = 1\n").find("not supported"), std::string::npos);
}
