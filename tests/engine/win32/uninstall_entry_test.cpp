#include <gtest/gtest.h>

#include <string.h>

#include "engine/install_state.h"
#include "engine/rollback.h"
#include "engine/uninstall_entry.h"
#include "installer_folder_test.h"

namespace {

const char* keyPath = UNINSTALL_LIST_KEY "\\Harbour Works Tidewater 2.4";

// The value's type and data; type 0 when the key or value is missing.
DWORD readValue(const char* name, void* data, DWORD size) {
    HKEY key;
    DWORD type = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)data, &size) != ERROR_SUCCESS) type = 0;
    RegCloseKey(key);
    return type;
}

std::string readText(const char* name) {
    char data[1024] = "";
    DWORD type = readValue(name, data, sizeof data - 1);
    if (type == 0) return "<missing>";
    EXPECT_EQ(type, (DWORD)REG_SZ) << name;
    return data;
}

DWORD readNumber(const char* name) {
    DWORD value = 0xDEAD;
    EXPECT_EQ(readValue(name, &value, sizeof value), (DWORD)REG_DWORD) << name;
    return value;
}

bool keyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class UninstallEntryTest : public InstallerFolderTest {
protected:
    void SetUp() override {
        InstallerFolderTest::SetUp();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
        PackageHeader& header = installState.header;
        strcpy(header.publisher, "Harbour Works");
        strcpy(header.productName, "Tidewater");
        strcpy(header.productVersion, "2.4");
        header.requiredSpace = 5 * 1024 * 1024 + 1;
        strcpy(installState.destinationPath, "C:\\Program Files\\Harbour Works Tidewater\\");
    }
    void TearDown() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
        removeCreatedUninstallEntry();
        InstallerFolderTest::TearDown();
    }
};

TEST_F(UninstallEntryTest, WritesEveryValueAndTheWebAddressOnlyWhenThereIsOne) {
    ASSERT_EQ(registerUninstallEntry(), 1);
    EXPECT_EQ(readText("URLInfoAbout"), "<missing>");
    EXPECT_EQ(readText("HelpLink"), "<missing>");
    strcpy(installState.lists.websiteUrl, "http://harbour.example/");
    ASSERT_EQ(registerUninstallEntry(), 1);
    EXPECT_EQ(readText("DisplayName"), "Tidewater 2.4");
    EXPECT_EQ(readText("DisplayIcon"), "C:\\Program Files\\Harbour Works Tidewater\\HalvUninstaller.exe,0");
    EXPECT_EQ(readText("UninstallString"), "\"C:\\Program Files\\Harbour Works Tidewater\\HalvUninstaller.exe\"");
    EXPECT_EQ(readText("Publisher"), "Harbour Works");
    EXPECT_EQ(readText("Version"), "2.4");
    EXPECT_EQ(readText("URLInfoAbout"), "http://harbour.example/");
    EXPECT_EQ(readText("HelpLink"), "http://harbour.example/");
    EXPECT_EQ(readText("DisplayVersion"), "2.4");
    EXPECT_EQ(readText("InstallLocation"), "C:\\Program Files\\Harbour Works Tidewater");
    EXPECT_EQ(readNumber("EstimatedSize"), 5u * 1024 + 1);
    EXPECT_EQ(readNumber("NoModify"), 1u);
    EXPECT_EQ(readNumber("NoRepair"), 1u);
}

TEST_F(UninstallEntryTest, MissingFieldsWriteNoKey) {
    char* fields[] = {installState.header.publisher, installState.header.productName,
                      installState.header.productVersion, installState.destinationPath};
    for (char* field : fields) {
        char saved[300];
        strcpy(saved, field);
        field[0] = '\0';
        EXPECT_EQ(registerUninstallEntry(), 0);
        strcpy(field, saved);
    }
    EXPECT_FALSE(keyExists());
    strcpy(installState.header.publisher, "Harbour\\Works");
    EXPECT_EQ(registerUninstallEntry(), 0);
    EXPECT_FALSE(keyExists());
}

TEST_F(UninstallEntryTest, TheRollbackRemovesOnlyAKeyThisRunCreated) {
    // A failed installation leaves no entry.
    InstallerSpec spec = basicInstaller();
    spec.files = {{0, "one.bin", {1}}};
    writeInstaller(installer, spec);
    loadInstaller(installer, destination);
    ASSERT_EQ(registerUninstallEntry(), 1);
    installState.currentFileNumber = 1;
    EXPECT_EQ(runRollback().wParam, 0u);
    EXPECT_FALSE(keyExists());

    ASSERT_EQ(registerUninstallEntry(), 1);
    ASSERT_TRUE(keyExists());
    EXPECT_EQ(removeCreatedUninstallEntry(), 1);
    EXPECT_FALSE(keyExists());
    EXPECT_EQ(removeCreatedUninstallEntry(), 0);

    // An entry from an earlier installation of the same version stays.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(registerUninstallEntry(), 1);
    EXPECT_EQ(removeCreatedUninstallEntry(), 0);
    EXPECT_TRUE(keyExists());
    EXPECT_EQ(readText("DisplayName"), "Tidewater 2.4");
}

}  // namespace
