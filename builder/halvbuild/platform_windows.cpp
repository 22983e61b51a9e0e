// halvbuild.exe runs on Windows 7 and later (the programs it packs keep to
// Windows 2000): SetFileInformationByHandle and FILE_DISPOSITION_INFO came
// with Vista.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include "halvbuild/platform.h"

#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <random>
#include <system_error>

#include "halvbuild/build_error.h"

namespace fs = std::filesystem;

struct PendingOutput::State {
    std::string path;
    std::wstring name;
    HANDLE handle = INVALID_HANDLE_VALUE;
    FILE* file = nullptr;
};

namespace {

std::wstring wide(const std::string& utf8) {
    return fs::u8path(utf8).wstring();
}

// While the mark is set, the system deletes the file when its last handle
// closes, however the process ends.
bool markForDeletion(HANDLE handle, bool mark) {
    const BOOLEAN deleteOnClose = mark ? TRUE : FALSE;
    FILE_DISPOSITION_INFO disposition = {deleteOnClose};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

std::string lastErrorText() {
    return std::system_category().message((int)GetLastError());
}

void discard(PendingOutput::State* state) {
    if (state->file) fclose(state->file);
    else if (state->handle != INVALID_HANDLE_VALUE) CloseHandle(state->handle);
    if (!state->name.empty()) DeleteFileW(state->name.c_str());
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> utf8;
    for (int i = 0; i < count; ++i) utf8.push_back(fs::path(arguments[i]).u8string());
    LocalFree(arguments);
    return utf8;
}

std::string runningProgramFolder(const char* argv0) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size());
        if (length == 0) return fs::absolute(fs::u8path(argv0 ? argv0 : "")).parent_path().u8string();
        if (length < path.size()) return fs::path(path.substr(0, length)).parent_path().u8string();
        path.resize(path.size() * 2);  // cut short: the path is longer than the buffer
    }
}

FILE* openFile(const std::string& path, const char* mode) {
    return _wfopen(wide(path).c_str(), wide(mode).c_str());
}

bool isConsole(FILE* file) {
    DWORD mode = 0;
    return GetConsoleMode((HANDLE)_get_osfhandle(_fileno(file)), &mode) != 0;
}

void printText(FILE* out, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (!isConsole(out)) {
        vfprintf(out, format, arguments);
        va_end(arguments);
        return;
    }
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text(length > 0 ? (size_t)length : 0, '\0');
    if (length > 0) vsnprintf(&text[0], text.size() + 1, format, arguments);
    va_end(arguments);
    std::wstring wide(text.size(), L'\0');
    wide.resize((size_t)MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size()));
    fflush(out);  // what went through the stream before comes first
    DWORD written = 0;
    WriteConsoleW((HANDLE)_get_osfhandle(_fileno(out)), wide.data(), (DWORD)wide.size(), &written, nullptr);
}

PendingOutput::PendingOutput(const std::string& path) : state_(new State) {
    State& state = *state_;
    state.path = path;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && state.handle == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[32];
        snprintf(suffix, sizeof suffix, ".tmp-%08x", (unsigned)random());
        state.name = wide(path + suffix);
        state.handle = CreateFileW(state.name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (state.handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (state.handle == INVALID_HANDLE_VALUE) {
        const std::string cause = lastErrorText();
        state.name.clear();
        throw BuildError(path + ": cannot create the installer file: " + cause);
    }
    const int fd = markForDeletion(state.handle, true) ? _open_osfhandle((intptr_t)state.handle, _O_BINARY) : -1;
    state.file = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (state.file == nullptr) {
        const std::string cause = lastErrorText();
        if (fd >= 0) _close(fd), state.handle = INVALID_HANDLE_VALUE;
        discard(&state);
        throw BuildError(path + ": cannot create the installer file: " + cause);
    }
}

PendingOutput::~PendingOutput() {
    discard(state_.get());
}

FILE* PendingOutput::file() const {
    return state_->file;
}

void PendingOutput::commit() {
    State& state = *state_;
    if (fflush(state.file) != 0 || ferror(state.file))
        throw BuildError(state.path + ": cannot write the installer file");
    if (!markForDeletion(state.handle, false))
        throw BuildError(state.path + ": cannot keep the finished installer: " + lastErrorText());
    const int closed = fclose(state.file);
    state.file = nullptr;
    state.handle = INVALID_HANDLE_VALUE;
    if (closed != 0) throw BuildError(state.path + ": cannot write the installer file");
    // One step that either keeps the older file or replaces it.
    if (!MoveFileExW(state.name.c_str(), wide(state.path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw BuildError(state.path + ": cannot move the finished installer into place: " + lastErrorText());
    state.name.clear();
}
