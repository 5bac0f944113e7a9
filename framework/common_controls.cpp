#include "framework/common_controls.h"

void StartCommonControls() {
    static bool started = false;
    if (started) return;
    started = true;
    // By bare name on purpose: the manifest's side-by-side redirection, which comes
    // before every folder of the search, then picks version 6, where a path to the
    // system folder would load version 5.
    HMODULE library = LoadLibraryA("comctl32.dll");
    if (!library) return;
    using InitCommonControlsFn = void(WINAPI*)();
    auto start = reinterpret_cast<InitCommonControlsFn>(GetProcAddress(library, "InitCommonControls"));
    if (start) start();
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    StartCommonControls();
    return MessageBoxA(owner, text, caption, type);
}
