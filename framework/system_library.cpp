#include "framework/system_library.h"

#include <delayimp.h>

#include <string>

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
const DWORD kSearchSystem32 = 0x00000800;

// Set once SetDefaultDllDirectories has taken effect: the system then understands
// the search flags of LoadLibraryEx.
bool searchLimited = false;

}  // namespace

HMODULE LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH] = "";
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder) + "\\" + name;
    // The libraries this one imports by name must come from the system folder too:
    // a planted "version.dll" beside the program would otherwise be found first.
    // Systems without the search flags take the altered search path, which starts
    // in the library's own folder instead of the program's.
    return LoadLibraryExA(path.c_str(), nullptr, searchLimited ? kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

void LimitLibrarySearchToSystemFolder() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto limit = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "SetDefaultDllDirectories"));
    if (limit && limit(kSearchSystem32)) searchLimited = true;
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
