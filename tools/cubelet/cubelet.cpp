// Stand-in for the suite's main executable, for tests and demonstrations only.
// It opens a top-level window of class "Cubelet", quits on the installer's quit
// request (10652), and appends one line per start to Cubelet.log beside itself:
// its full command line, a tab, and its own path; its window names the version
// folder it runs from. Every line ends with a tab and the time in milliseconds
// since 1970 by the system clock, which benchmarks compare with the host's. With the argument --stubborn it logs quit requests but
// ignores them, to play a suite that will not close; with a file "Cubelet.exe.fails"
// beside it, it ends at once without a window, to play a release that does not start.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/suite_contract.h"

namespace {

const UINT kQuitRequest = suite::kQuitRequest;
bool stubborn = false;
std::string versionFolder;

std::string LogPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string log = path;
    size_t slash = log.find_last_of('\\');
    log = (slash == std::string::npos ? std::string() : log.substr(0, slash + 1)) + "Cubelet.log";
    return log;
}

unsigned long long MillisecondsSince1970() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    const unsigned long long kTicksFrom1601To1970 = 116444736000000000ULL;
    return (ticks.QuadPart - kTicksFrom1601To1970) / 10000;
}

void AppendLog(const std::string& line) {
    FILE* f = std::fopen(LogPath().c_str(), "ab");
    if (!f) return;
    std::fprintf(f, "%s\t%llu\r\n", line.c_str(), MillisecondsSince1970());
    std::fclose(f);
}

// The name of the folder above BIN: the version this copy was installed as, drawn
// in the window so that a screenshot tells one installed version from another.
std::string VersionFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    for (int level = 0; level < 2; ++level) {
        size_t slash = folder.find_last_of('\\');
        if (slash == std::string::npos) return "";
        folder.resize(slash);
    }
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kQuitRequest:
            AppendLog(stubborn ? "quit-request ignored" : "quit-request");
            if (!stubborn) DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT r;
            GetClientRect(window, &r);
            FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            const char* caption = "Velmora 2.0 (stand-in suite)";
            RECT upper = r;
            upper.bottom = (r.top + r.bottom) / 2;
            DrawTextA(dc, caption, -1, &upper, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
            RECT lower = r;
            lower.top = upper.bottom + 2;
            std::string folder = "version " + versionFolder;
            DrawTextA(dc, folder.c_str(), -1, &lower, DT_CENTER | DT_TOP | DT_SINGLELINE);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    stubborn = std::strstr(commandLine, "--stubborn") != nullptr;
    versionFolder = VersionFolder();
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    AppendLog(std::string(GetCommandLineA()) + "\t" + self);
    // A release that does not start, as a crash at start or a missing library ends
    // one: a file of this name beside the program makes it end before its window.
    std::string failing = std::string(self) + ".fails";
    if (GetFileAttributesA(failing.c_str()) != INVALID_FILE_ATTRIBUTES) {
        AppendLog("ended at once");
        return 3;
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = suite::kWindowClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowA(suite::kWindowClass, "Velmora 2.0", WS_OVERLAPPEDWINDOW, 600, 40, 260, 90, nullptr,
                                nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
