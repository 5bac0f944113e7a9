// Keeps the prefix's desktop open for as long as it runs. Wine closes a desktop a
// second after the last program using it ends, and a program that starts in that
// moment attaches to the closing desktop, gets no display driver and can create no
// window. A logged-on Windows session never closes its desktop: a test prefix runs
// one of these beside its programs to be like one. Prints "ready" once the desktop
// window stands, then waits until it is ended.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!GetDesktopWindow()) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
