#include "setup_ui/skin_images.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

#include "framework/com_library.h"

#include "setup_ui/compositor.h"

namespace {

// A movable global copy of a resource, and a stream over it that does not own it.
class ResourceStream {
 public:
    ResourceStream(const char* name, const char* type) {
        HMODULE module = GetModuleHandleA(nullptr);
        HRSRC resource = FindResourceA(module, name, type);
        if (!resource) return;
        DWORD size = SizeofResource(module, resource);
        if (size == 0) return;
        HGLOBAL loaded = LoadResource(module, resource);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (!bytes) return;
        block_ = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!block_) return;
        void* target = GlobalLock(block_);
        if (!target) return;
        locked_ = true;
        std::memcpy(target, bytes, size);
        if (FAILED(com::CreateStreamOnGlobal(block_, FALSE, &stream_))) stream_ = nullptr;
    }
    ~ResourceStream() {
        if (stream_) stream_->Release();
        if (locked_) GlobalUnlock(block_);
        if (block_) GlobalFree(block_);
    }
    ResourceStream(const ResourceStream&) = delete;
    ResourceStream& operator=(const ResourceStream&) = delete;
    IStream* Get() const { return stream_; }

 private:
    HGLOBAL block_ = nullptr;
    bool locked_ = false;
    IStream* stream_ = nullptr;
};

}  // namespace

bool WithSkinImage(const char* name, const char* type, const std::function<void(Gdiplus::Image&)>& use) {
    ResourceStream stream(name, type);
    if (!stream.Get()) return false;
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream.Get(), FALSE);
    if (!image) return false;
    bool ok = image->GetLastStatus() == Gdiplus::Ok;
    if (ok) use(*image);
    delete image;
    return ok;
}

SkinSize GetSkinImageSize(const char* name, const char* type) {
    SkinSize size;
    ResourceStream stream(name, type);
    if (!stream.Get()) return size;
    Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromStream(stream.Get(), FALSE);
    if (bitmap && bitmap->GetLastStatus() == Gdiplus::Ok) {
        size.width = static_cast<int>(bitmap->GetWidth());
        size.height = static_cast<int>(bitmap->GetHeight());
    }
    delete bitmap;
    return size;
}

SkinSize LoadBaseImage(SkinFrame& frame) {
    SkinSize size;
    ResourceStream stream("#1001", "MAINS");
    if (!stream.Get()) return size;
    Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromStream(stream.Get(), FALSE);
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        delete bitmap;
        return size;
    }
    size.width = static_cast<int>(bitmap->GetWidth());
    size.height = static_cast<int>(bitmap->GetHeight());
    frame.baseImageCache.reset();
    {
        Gdiplus::Graphics graphics(bitmap);
        frame.baseImageCache.reset(new Gdiplus::CachedBitmap(bitmap, &graphics));
    }
    delete bitmap;
    return size;
}
