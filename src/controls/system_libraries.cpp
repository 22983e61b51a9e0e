#include "controls/system_libraries.h"

#include <string.h>

namespace {

// Values from the Windows 8 headers, which the Windows 2000 API level hides.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR path);

FARPROC kernelEntry(const char* name) {
    // kernel32 is loaded in every process: no search takes place here.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

}  // namespace

int restrictLibrarySearch() {
    SetDefaultDllDirectoriesFn setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(kernelEntry("SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchSystem32)) return 1;
    SetDllDirectoryAFn setDirectory =
        reinterpret_cast<SetDllDirectoryAFn>(reinterpret_cast<void (*)()>(kernelEntry("SetDllDirectoryA")));
    return setDirectory && setDirectory("") ? 2 : 0;
}

HMODULE loadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    size_t nameLength = name ? strlen(name) : 0;
    if (nameLength == 0 || strchr(name, '\\') || strchr(name, '/') || strchr(name, ':')) return nullptr;
    UINT length = GetSystemDirectoryA(path, sizeof path);
    // A length of the buffer's size or more is the size the path would need.
    if (length == 0 || length + 1 + nameLength >= sizeof path) return nullptr;
    path[length] = '\\';
    memcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryA(path);
}
