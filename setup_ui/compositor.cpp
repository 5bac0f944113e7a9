#include "setup_ui/compositor.h"

#include <objidl.h>
#include <gdiplus.h>

#include "app/setup_app.h"
#include "framework/scoped.h"

namespace {
using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
}

void BeginFrame(int width, int height) {
    SetupApp& app = SetupApp::Get();
    delete app.compositeImage;
    app.compositeImage = nullptr;
    if (width <= 0 || height <= 0) return;
    auto* frame = new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB);
    if (frame->GetLastStatus() != Gdiplus::Ok) {
        delete frame;  // no memory for a frame: the window keeps its last picture
        return;
    }
    app.compositeImage = frame;
    if (app.baseImageCache) {
        Gdiplus::Graphics graphics(frame);
        graphics.DrawCachedBitmap(app.baseImageCache, 0, 0);
    }
}

void PushLayeredFrame(HWND window, int alpha, int width, int height) {
    SetupApp& app = SetupApp::Get();
    if (!app.compositeImage) return;
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongA(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    RECT rect;
    GetWindowRect(window, &rect);
    auto update = reinterpret_cast<UpdateLayeredWindowFn>(
        app.user32Module ? GetProcAddress(app.user32Module, "UpdateLayeredWindow") : nullptr);
    if (!update) return;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), AC_SRC_ALPHA};
    ScopedWindowDc screen(GetDesktopWindow());
    ScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
    HBITMAP bitmap = nullptr;
    app.compositeImage->GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
    ScopedGdiObject ownedBitmap(bitmap);
    HGDIOBJ old = SelectObject(memory.Get(), bitmap);
    POINT destination = {rect.left, rect.top};
    SIZE size = {width, height};
    POINT source = {0, 0};
    update(window, screen.Get(), &destination, &size, memory.Get(), &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory.Get(), old);
}

void SetZOrderMode(HWND window, int mode) {
    SetupApp::Get().zOrderMode = mode;
    HWND parent = GetAncestor(window, GA_PARENT);
    HWND insertAfter = HWND_NOTOPMOST;
    if (mode == 3) {
        HWND desktop = FindWindowA("Progman", "Program Manager");
        if (!desktop || desktop == parent) return;
        SetParent(window, desktop);
    } else {
        if (mode == 0 || mode == 4) insertAfter = HWND_TOPMOST;
        if (mode == 2) insertAfter = HWND_BOTTOM;
        if (parent != GetDesktopWindow()) SetParent(window, nullptr);
    }
    SetWindowPos(window, insertAfter, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}
