// The setup window is a per-pixel-alpha layered window: its whole look is one ARGB
// frame composed in memory and handed to the window manager. Nothing of it or of
// its controls is painted by the system.
#pragma once

#include <windows.h>

#include <memory>

namespace Gdiplus {
class Bitmap;
class CachedBitmap;
}  // namespace Gdiplus

// Where a window stands among the others.
enum class WindowLayer {
    Normal,     // among the user's windows: over them as it opens, under whichever the user brings up later
    Topmost,    // over every window that is not topmost, whichever is active
    Bottom,     // under every other window
    OnDesktop,  // a child of the desktop's window, with the icons
};

// The window's picture: the frame being composed, the decoded base image every frame
// starts from, and how the frame is shown. Owned by the window it draws.
class SkinFrame {
 public:
    // `user32Module` is where the layered-window functions are looked up; null
    // leaves the window without a picture.
    explicit SkinFrame(HMODULE user32Module);
    ~SkinFrame();
    SkinFrame(const SkinFrame&) = delete;
    SkinFrame& operator=(const SkinFrame&) = delete;

    std::unique_ptr<Gdiplus::Bitmap> compositeImage;
    std::unique_ptr<Gdiplus::CachedBitmap> baseImageCache;
    int windowAlpha = 255;
    WindowLayer layer = WindowLayer::Normal;
    HMODULE user32Module;
};

// Starts a new transparent frame of the given size with the cached base image.
void BeginFrame(SkinFrame& frame, int width, int height);
// Shows the current frame as the window's picture, where the window now stands.
void PushLayeredFrame(const SkinFrame& frame, HWND window, int width, int height);
// Places the window in the z-order.
void SetWindowLayer(SkinFrame& frame, HWND window, WindowLayer layer);
