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
    int zOrderMode = 0;
    HMODULE user32Module;
};

// Starts a new transparent frame of the given size with the cached base image.
void BeginFrame(SkinFrame& frame, int width, int height);
// Shows the current frame as the window's picture, where the window now stands.
void PushLayeredFrame(const SkinFrame& frame, HWND window, int width, int height);
// Places the window in the z-order: 0 and 4 topmost, 2 bottom, 3 on the desktop.
void SetZOrderMode(SkinFrame& frame, HWND window, int mode);
