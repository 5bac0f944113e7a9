// GDI+ started for as long as the owner lives.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "framework/scoped.h"

struct GdiplusTokenTraits {
    static ULONG_PTR Invalid() { return 0; }
    static void Close(ULONG_PTR token) { Gdiplus::GdiplusShutdown(token); }
};
using ScopedGdiplusToken = Scoped<ULONG_PTR, GdiplusTokenTraits>;

// Starts GDI+ version 1 with no debug callback and nothing suppressed; the token
// stays empty when it could not start.
inline ScopedGdiplusToken StartGdiplus() {
    ScopedGdiplusToken token;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR raw = 0;
    if (Gdiplus::GdiplusStartup(&raw, &input, nullptr) == Gdiplus::Ok) token.Reset(raw);
    return token;
}
