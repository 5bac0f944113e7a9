#include "framework/system_library.h"

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
