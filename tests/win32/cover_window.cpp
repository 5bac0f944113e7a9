// Lays a plain black window over part of the screen for a while and takes it away
// again, without taking the focus from anyone. Then it asks every window under
// that part to repaint it, with erasing, as Windows without a compositor does when
// a window closes (Wine keeps a picture of each window and repaints nothing itself).
// Usage: cover_window X Y WIDTH HEIGHT MILLISECONDS. Prints "covered" once shown.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK RepaintUncovered(HWND window, LPARAM area) {
    RECT place, part = *reinterpret_cast<const RECT*>(area);
    if (!IsWindowVisible(window) || !GetWindowRect(window, &place) || !IntersectRect(&part, &part, &place))
        return TRUE;
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&part), 2);
    RedrawWindow(window, &part, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return 64;
    int x = std::atoi(argv[1]), y = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    DWORD milliseconds = static_cast<DWORD>(std::atoi(argv[5]));
    WNDCLASSA cls = {};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = "CoverWindow";
    if (!RegisterClassA(&cls)) return 1;
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, cls.lpszClassName, "",
                                  WS_POPUP, x, y, width, height, nullptr, nullptr, cls.hInstance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    std::printf("covered\n");
    std::fflush(stdout);
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
    DestroyWindow(window);
    RECT covered = {x, y, x + width, y + height};
    EnumWindows(RepaintUncovered, reinterpret_cast<LPARAM>(&covered));
    return 0;
}
