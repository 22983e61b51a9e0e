#include "halvbuild/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <system_error>

#include "halvbuild/build_error.h"

namespace fs = std::filesystem;

namespace {

// The named pending file that a signal handler must remove; the flag is set
// only while the buffer holds a whole path.
char gPendingName[4096];
volatile sig_atomic_t gPendingNamed = 0;

const int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

void removePendingAndDie(int signalNumber) {
    if (gPendingNamed) unlink(gPendingName);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void setPendingName(const std::string& name) {
    gPendingNamed = 0;
    if (name.empty() || name.size() >= sizeof gPendingName) return;
    memcpy(gPendingName, name.c_str(), name.size() + 1);
    gPendingNamed = 1;
}

std::string randomName(const std::string& path) {
    std::random_device random;
    char suffix[32];
    snprintf(suffix, sizeof suffix, ".tmp-%08x", (unsigned)random());
    return path + suffix;
}

// A new file beside path that no one else has: O_EXCL on a random name.
int createNamed(const std::string& path, std::string* name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *name = randomName(path);
        const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    name->clear();
    return -1;
}

}  // namespace

struct PendingOutput::State {
    std::string path;
    std::string name;       // the named file; empty while the file has no name
    FILE* file = nullptr;
    struct sigaction saved[3];
};

namespace {

// Removes what state holds and gives the signals back their handlers.
void discard(PendingOutput::State* state) {
    if (state->file) fclose(state->file);
    if (!state->name.empty()) unlink(state->name.c_str());
    setPendingName(std::string());
    for (int i = 0; i < 3; ++i) sigaction(kCleanedSignals[i], &state->saved[i], nullptr);
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string runningProgramFolder(const char* argv0) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) return self.parent_path().u8string();
    const fs::path given = fs::absolute(fs::u8path(argv0 ? argv0 : ""), error);
    return error ? std::string(".") : given.parent_path().u8string();
}

FILE* openFile(const std::string& path, const char* mode) {
    return fopen(path.c_str(), mode);
}

bool isConsole(FILE* file) {
    return isatty(fileno(file)) != 0;
}

void printText(FILE* out, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vfprintf(out, format, arguments);
    va_end(arguments);
}

PendingOutput::PendingOutput(const std::string& path) : state_(new State) {
    state_->path = path;
    struct sigaction action = {};
    action.sa_handler = removePendingAndDie;
    for (int i = 0; i < 3; ++i) sigaction(kCleanedSignals[i], &action, &state_->saved[i]);
    std::string folder = fs::u8path(path).parent_path().u8string();
    // Naming an unnamed file at the end goes through /proc.
    int fd = access("/proc/self/fd", X_OK) == 0
                 ? open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)
                 : -1;
    if (fd < 0) {
        fd = createNamed(path, &state_->name);
        setPendingName(fd < 0 ? std::string() : state_->name);
    }
    state_->file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (state_->file == nullptr) {
        const int cause = errno;
        if (fd >= 0) close(fd);
        discard(state_.get());
        throw BuildError(path + ": cannot create the installer file: " + strerror(cause));
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
    const auto fail = [&](const char* what) {
        const int cause = errno;
        throw BuildError(state.path + ": " + what + ": " + strerror(cause));
    };
    if (fflush(state.file) != 0 || ferror(state.file)) fail("cannot write the installer file");
    if (state.name.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fileno(state.file));
        for (int attempt = 0; attempt < 16 && state.name.empty(); ++attempt) {
            const std::string name = randomName(state.path);
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) state.name = name;
            else if (errno != EEXIST) break;
        }
        if (state.name.empty()) fail("cannot name the finished installer");
        setPendingName(state.name);
    }
    const int closed = fclose(state.file);
    state.file = nullptr;
    if (closed != 0) fail("cannot write the installer file");
    // rename replaces an older file in one step: it is either the old one or the new one.
    if (rename(state.name.c_str(), state.path.c_str()) != 0) fail("cannot move the finished installer into place");
    state.name.clear();
    setPendingName(std::string());
}
