/* A library a web page could leave in the Downloads folder under the name of a
 * system library. Loaded, it leaves "<its own path>.loaded" beside itself, which is
 * all the test needs to know. It exports the WinInet call a program importing
 * WinInet would bind to, so that such a program starts with it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 16];
        DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatA(path, ".loaded");
            HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
        }
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI InternetGetConnectedState(LPDWORD flags, DWORD reserved) {
    (void)reserved;
    if (flags) *flags = 0;
    return FALSE;
}
