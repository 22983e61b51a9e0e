#include "engine_harness.h"

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "controls/progress_bar.h"
#include "engine/extraction.h"
#include "engine/install_state.h"
#include "engine/install_windows.h"
#include "engine/rollback.h"
#include "engine/setup_messages.h"
#include "wizard/control_table.h"

HarnessLog harnessLog;

namespace {

const char* mainClass = "EngineTestMain";
const char* barClass = "EngineTestBar";

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETUP_EXTRACTED || message == WM_SETUP_FAILED || message == WM_SETUP_REMOVED) {
        harnessLog.setupMessages.push_back({message, wParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The plain stand-in for the progress bar: it records every position.
LRESULT CALLBACK barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBB_SETPOS) {
        harnessLog.barPositions.push_back((unsigned)wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerClass(const char* name, WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

}  // namespace

void setUpEngineHarness() {
    harnessLog = HarnessLog();
    resetInstallState();
    createStateMutex();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    registerClass(mainClass, mainProc);
    registerClass(barClass, barProc);
    initControlTable(instance);
    installWindows.instance = instance;
    installWindows.mainWindow = CreateWindowExA(0, mainClass, "engine test", WS_OVERLAPPEDWINDOW, 0, 0, 490, 297,
                                                nullptr, nullptr, instance, nullptr);
    addControl(2, 4, 0, WS_CHILD, "EDIT", nullptr, 196, 25, 288, 21, nullptr);
    addControl(3, 9, 0, WS_CHILD, "STATIC", nullptr, 382, 106, 100, 13, nullptr);
    addControl(3, 14, 0, WS_CHILD, "STATIC", nullptr, 196, 166, 288, 13, nullptr);
    addControl(4, 11, 0, WS_CHILD, "STATIC", nullptr, 196, 93, 288, 13, nullptr);
    addControl(4, 12, 0, WS_CHILD, "STATIC", nullptr, 196, 106, 288, 39, nullptr);
    addControl(4, 13, WS_EX_CLIENTEDGE, WS_CHILD, barClass, nullptr, 196, 151, 288, 13, nullptr);
    for (int group : {2, 3, 4}) createGroupWindows(group, installWindows.mainWindow);
}

void tearDownEngineHarness() {
    if (installWindows.mainWindow) DestroyWindow(installWindows.mainWindow);
    installWindows.mainWindow = nullptr;
}

PostedMessage waitForSetupMessage(DWORD timeoutMs) {
    size_t seen = harnessLog.setupMessages.size();
    if (!pumpUntil([&] { return harnessLog.setupMessages.size() > seen; }, timeoutMs)) return {0, 0};
    return harnessLog.setupMessages[seen];
}

void pumpFor(DWORD durationMs) {
    DWORD start = GetTickCount();
    pumpUntil([&] { return GetTickCount() - start >= durationMs; }, durationMs + 1000);
}

std::string controlText(int id) {
    char text[512] = "";
    GetWindowTextA(getControlWindow(id), text, sizeof text);
    return text;
}

std::string makeScratchFolder(const char* tag) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter = 0;
    std::string folder = std::string(temp) + "eng" + tag + std::to_string(GetCurrentProcessId()) + "_" +
                         std::to_string(++counter) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path + "\\");
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& byte : bytes) byte = (uint8_t)generator();
    return bytes;
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot create " + path);
    file.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HANDLE protectReadOnly(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    CloseHandle(probe);
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

InstallerSpec basicInstaller() {
    InstallerSpec spec;
    spec.header.installerTitle = "Tidewater Setup";
    spec.header.publisher = "Harbour Works";
    spec.header.productName = "Tidewater";
    spec.header.productVersion = "2.4";
    spec.header.baseFolderToken = "{PROGRAM_FILES}";
    spec.header.defaultFolderName = "Harbour Works Tidewater";
    spec.header.directories = {"\\", "\\data\\", "\\data\\maps\\"};
    spec.header.licenceText = "Terms\r\n";
    spec.uninstaller = randomBytes(3000, 99);
    return spec;
}

std::vector<uint64_t> writeInstaller(const std::string& path, const InstallerSpec& spec) {
    FILE* output = fopen(path.c_str(), "wb");
    if (!output) throw std::runtime_error("cannot create " + path);
    std::vector<uint64_t> offsets;
    {
        PackageWriter writer(output);
        const uint8_t program[] = {'M', 'Z', 0x90, 0, 3, 0, 0, 0};
        writer.writeProgram(program, sizeof program);
        PackageHeaderFields header = spec.header;
        header.fileCount = (uint32_t)spec.files.size();
        uint64_t total = 0;
        for (const auto& file : spec.files) total += file.content.size();
        header.requiredSpace = (uint32_t)total;
        writer.writeHeader(header);
        for (const auto& file : spec.files) {
            offsets.push_back(writer.offset());
            writer.writeFile(file.directoryIndex, file.name, file.content.data(), file.content.size());
        }
        offsets.push_back(writer.offset());
        writer.writeUninstaller(spec.uninstaller.data(), spec.uninstaller.size());
        writer.writeTrailingData(spec.trailing);
        writer.finish();
    }
    fclose(output);
    return offsets;
}

void loadInstaller(const std::string& path, const std::string& destination) {
    strcpy(installState.modulePath, path.c_str());
    if (!readPackageHeader(path.c_str(), &installState.header)) throw std::runtime_error("header of " + path);
    strcpy(installState.destinationPath, destination.c_str());
}

PostedMessage runExtraction() {
    if (!startExtraction()) return waitForSetupMessage(5000);
    PostedMessage message = waitForSetupMessage();
    WaitForSingleObject((HANDLE)installState.workerThread, 10000);
    return message;
}

PostedMessage runRollback() {
    startRollback();
    return waitForSetupMessage();
}
