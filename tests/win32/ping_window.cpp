// Asks the setup window (class "InitVL2") again and again whether it answers, the
// way the system does before it greys a window out as not responding: WM_NULL with
// a one-second limit. Usage: ping_window SECONDS. Prints, at the end,
// "answered N unanswered M slowest T" (T in milliseconds), and "gone" when the
// window closed before the time was up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    const DWORD limit = static_cast<DWORD>(std::atoi(argv[1])) * 1000;
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    int answered = 0, unanswered = 0;
    DWORD slowest = 0;
    bool gone = false;
    while (GetTickCount() - start < limit) {
        if (!window) window = FindWindowA("InitVL2", nullptr);
        if (!window) {
            Sleep(50);
            continue;
        }
        DWORD sent = GetTickCount();
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer)) {
            ++answered;
        } else if (!IsWindow(window)) {
            gone = true;
            break;
        } else {
            ++unanswered;
        }
        DWORD took = GetTickCount() - sent;
        if (took > slowest) slowest = took;
        Sleep(50);
    }
    std::printf("answered %d unanswered %d slowest %lu%s\n", answered, unanswered, static_cast<unsigned long>(slowest),
                gone ? " gone" : "");
    return 0;
}
