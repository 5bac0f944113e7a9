// Stand-in for the suite's main executable, for tests and demonstrations only.
// It opens a top-level window of class "Cubelet", quits on the installer's quit
// request (10652), and appends one line per start to Cubelet.log beside itself:
// its full command line, a tab, and its own path. With the argument --stubborn it
// logs quit requests but ignores them, to play a suite that will not close.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/suite_contract.h"

namespace {

const UINT kQuitRequest = suite::kQuitRequest;
bool stubborn = false;

std::string LogPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string log = path;
    size_t slash = log.find_last_of('\\');
    log = (slash == std::string::npos ? std::string() : log.substr(0, slash + 1)) + "Cubelet.log";
    return log;
}

void AppendLog(const std::string& line) {
    FILE* f = std::fopen(LogPath().c_str(), "ab");
    if (!f) return;
    std::fprintf(f, "%s\r\n", line.c_str());
    std::fclose(f);
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
            DrawTextA(dc, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
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
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    AppendLog(std::string(GetCommandLineA()) + "\t" + self);

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
