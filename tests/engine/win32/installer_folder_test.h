// A GoogleTest fixture for the engine's tests: the harness, and a scratch
// folder that is removed again after each test. (The benchmark program uses
// the harness without GoogleTest, so the fixture lives apart from it.)
#pragma once

#include <gtest/gtest.h>

#include "engine_harness.h"

// The harness with a scratch folder that holds the installer ("setup.exe") and
// an existing destination ("Product\\"), all removed again after the test.
class InstallerFolderTest : public ::testing::Test {
protected:
    explicit InstallerFolderTest(const char* tag = "t") : tag_(tag) {}
    void SetUp() override {
        setUpEngineHarness();
        scratch = makeScratchFolder(tag_);
        installer = scratch + "setup.exe";
        destination = scratch + "Product\\";
        CreateDirectoryA(destination.c_str(), nullptr);
    }
    void TearDown() override {
        tearDownEngineHarness();
        removeTree(scratch);
    }

    std::string scratch, installer, destination;

private:
    const char* tag_;
};
