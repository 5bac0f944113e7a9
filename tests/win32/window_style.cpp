// Tells what the shell makes of the setup window (class "InitVL2"): whether it gets
// a taskbar button (an application window, not a tool window) and stays above every
// other window (topmost). Prints "appwindow A toolwindow T topmost P" (each 0 or 1);
// ends with 1 when there is no such window.
#include <windows.h>

#include <cstdio>

int main() {
    HWND window = FindWindowA("InitVL2", nullptr);
    if (!window) return 1;
    LONG style = GetWindowLongA(window, GWL_EXSTYLE);
    std::printf("appwindow %d toolwindow %d topmost %d\n", (style & WS_EX_APPWINDOW) ? 1 : 0,
                (style & WS_EX_TOOLWINDOW) ? 1 : 0, (style & WS_EX_TOPMOST) ? 1 : 0);
    return 0;
}
