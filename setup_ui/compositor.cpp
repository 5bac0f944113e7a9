#include "setup_ui/compositor.h"

#include <objidl.h>
#include <gdiplus.h>

#include "framework/scoped.h"

namespace {
using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
}

SkinFrame::SkinFrame(HMODULE user32) : user32Module(user32) {}

SkinFrame::~SkinFrame() = default;

void BeginFrame(SkinFrame& frame, int width, int height) {
    frame.compositeImage.reset();
    if (width <= 0 || height <= 0) return;
    std::unique_ptr<Gdiplus::Bitmap> image(new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB));
    // No memory for a frame: the window keeps its last picture.
    if (image->GetLastStatus() != Gdiplus::Ok) return;
    if (frame.baseImageCache) {
        Gdiplus::Graphics graphics(image.get());
        graphics.DrawCachedBitmap(frame.baseImageCache.get(), 0, 0);
    }
    frame.compositeImage = std::move(image);
}

void PushLayeredFrame(const SkinFrame& frame, HWND window, int width, int height) {
    if (!frame.compositeImage) return;
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongA(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    RECT rect;
    GetWindowRect(window, &rect);
    auto update = reinterpret_cast<UpdateLayeredWindowFn>(
        frame.user32Module ? GetProcAddress(frame.user32Module, "UpdateLayeredWindow") : nullptr);
    if (!update) return;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(frame.windowAlpha), AC_SRC_ALPHA};
    ScopedWindowDc screen(GetDesktopWindow());
    ScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
    HBITMAP bitmap = nullptr;
    frame.compositeImage->GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap);
    ScopedGdiObject ownedBitmap(bitmap);
    HGDIOBJ old = SelectObject(memory.Get(), bitmap);
    POINT destination = {rect.left, rect.top};
    SIZE size = {width, height};
    POINT source = {0, 0};
    update(window, screen.Get(), &destination, &size, memory.Get(), &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory.Get(), old);
}

void SetWindowLayer(SkinFrame& frame, HWND window, WindowLayer layer) {
    frame.layer = layer;
    HWND parent = GetAncestor(window, GA_PARENT);
    if (layer == WindowLayer::OnDesktop) {
        HWND desktop = FindWindowA("Progman", "Program Manager");
        if (!desktop || desktop == parent) return;
        SetParent(window, desktop);
    } else if (parent != GetDesktopWindow()) {
        SetParent(window, nullptr);
    }
    HWND insertAfter = HWND_NOTOPMOST;
    if (layer == WindowLayer::Topmost) insertAfter = HWND_TOPMOST;
    if (layer == WindowLayer::Bottom) insertAfter = HWND_BOTTOM;
    SetWindowPos(window, insertAfter, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}
