#include "framework/system_library.h"

#include <delayimp.h>

#include <string>

HMODULE LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH] = "";
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder) + "\\" + name;
    return LoadLibraryA(path.c_str());
}

void LimitLibrarySearchToSystemFolder() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto limit = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "SetDefaultDllDirectories"));
    if (limit) limit(kSearchSystem32);
}

namespace {

// Delay-loaded libraries come from the system folder too, on systems without
// SetDefaultDllDirectories as well.
FARPROC WINAPI LoadDelayedLibraryFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(info->szDll));
}

}  // namespace

// Declared with C linkage by delayimp.h, whose helper calls it.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedLibraryFromSystemFolder;
