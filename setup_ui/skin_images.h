// The setup window's pictures are PNG files in the program's resources, under the
// types "MAINS" (backgrounds, progress parts, slideshow) and "MAINB" (buttons and
// the acceptance box). GDI+ decodes them from a stream over a copy of the resource
// bytes; the copy must live as long as the decoded image does.
#pragma once

#include <windows.h>

#include <functional>

namespace Gdiplus {
class Image;
}

struct SkinSize {
    int width = 0;
    int height = 0;
};

// Decodes the PNG resource `name` of `type` and hands it to `use`; false when any
// step fails (nothing is shown then). Everything is released before it returns.
bool WithSkinImage(const char* name, const char* type, const std::function<void(Gdiplus::Image&)>& use);

// The pixel size of a skin image, 0x0 when it cannot be read.
SkinSize GetSkinImageSize(const char* name, const char* type);

class SkinFrame;

// Decodes the base image "#1001" into the frame's cached bitmap that every frame
// starts from and returns its size (0x0, with the cache left empty, on failure).
SkinSize LoadBaseImage(SkinFrame& frame);
