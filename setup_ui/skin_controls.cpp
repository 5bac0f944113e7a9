#include "setup_ui/skin_controls.h"

#include <objidl.h>
#include <gdiplus.h>

#include "framework/text.h"
#include "resources/resource_ids.h"
#include "setup_ui/compositor.h"
#include "setup_ui/skin_images.h"

namespace {
const char* const kPropertyName = "VL2SkinControl";

void InvalidateParent(HWND parent) { InvalidateRect(parent, nullptr, TRUE); }
}  // namespace

SkinControl::~SkinControl() {
    if (window_) DestroyWindow(window_);
}

bool SkinControl::CreateControl(const char* className, int id, int left, int top, int width, int height,
                                HWND parent) {
    imageName = text::Format("#%d", id);
    parentWindow = parent;
    x = left;
    y = top;
    cx = width;
    cy = height;
    window_ = CreateWindowExA(0, className, imageName.c_str(), WS_CHILD | WS_VISIBLE, left, top, width, height,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                              nullptr);
    if (!window_) return false;
    SetPropA(window_, kPropertyName, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    return true;
}

LRESULT CALLBACK SkinControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<SkinControl*>(GetPropA(window, kPropertyName));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemovePropA(window, kPropertyName);
        WNDPROC original = self->original_;
        self->window_ = nullptr;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    // An exception must not cross the system's code that called this procedure.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT SkinControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(original_, window_, message, wParam, lParam);
}

LRESULT SkinControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // never drawn on the screen
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(window_, &ps);
            EndPaint(window_, &ps);
            return 0;
        }
        default:
            return Default(message, wParam, lParam);
    }
}

void SkinControl::DrawInto(const SkinFrame& frame, const char* type, int width, bool tinted) const {
    Gdiplus::Bitmap* picture = frame.compositeImage.get();
    if (imageName.empty() || !picture) return;
    WithSkinImage(imageName.c_str(), type, [&](Gdiplus::Image& image) {
        Gdiplus::Graphics graphics(picture);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        Gdiplus::Rect destination(x, y, width, cy);
        // Edge pixels sample the image itself rather than the transparent space
        // around it, so a stretched tile stays a solid bar to its edges.
        Gdiplus::ImageAttributes attributes;
        attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        if (tinted) {
            Gdiplus::ColorMatrix matrix = {{{1.0f, 0, 0, 0, 0},
                                            {0, 0.5f, 0, 0, 0},
                                            {0, 0, 0.5f, 0, 0},
                                            {0, 0, 0, 1.0f, 0},
                                            {0, 0, 0, 0, 1.0f}}};
            attributes.SetColorMatrix(&matrix, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
        }
        graphics.DrawImage(&image, destination, 0, 0, cx, cy, Gdiplus::UnitPixel, &attributes);
    });
}

bool SkinLabel::Create(int id, int left, int top, int width, int height, HWND parent) {
    return CreateControl("STATIC", id, left, top, width, height, parent);
}

void SkinLabel::Draw(const SkinFrame& frame) const { DrawInto(frame, "MAINS", cx, false); }

void SkinLabel::DrawStretched(const SkinFrame& frame, int width) const { DrawInto(frame, "MAINS", width, false); }

SkinButton::SkinButton()
    : handCursor(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_POINTER))) {}

bool SkinButton::Create(int id, int left, int top, int width, int height, HWND parent) {
    return CreateControl("BUTTON", id, left, top, width, height, parent);
}

void SkinButton::Draw(const SkinFrame& frame) const { DrawInto(frame, "MAINB", cx, pressed == 1); }

LRESULT SkinButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            pressed = 1;
            LRESULT result = Default(message, wParam, lParam);
            InvalidateParent(parentWindow);
            return result;
        }
        case WM_LBUTTONUP: {
            pressed = 0;
            HWND parent = parentWindow;
            // The system button sends the click to the parent from here.
            LRESULT result = Default(message, wParam, lParam);
            InvalidateParent(parent);
            return result;
        }
        case WM_MOUSEMOVE: {
            TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, window_, 1};
            TrackMouseEvent(&track);
            LRESULT result = Default(message, wParam, lParam);
            POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(window_, &point);
            HWND under = WindowFromPoint(point);
            if (under && under != window_ && pressed == 1) {
                pressed = 0;
                InvalidateParent(parentWindow);
            }
            return result;
        }
        case WM_MOUSEHOVER:
            return 0;
        case WM_MOUSELEAVE:
            pressed = 0;  // no new frame: the tint stays until the next one
            return 0;
        case WM_SETCURSOR:
            if (handCursor) {
                SetCursor(handCursor);
                return 0;
            }
            return Default(message, wParam, lParam);
        default:
            return SkinControl::HandleMessage(message, wParam, lParam);
    }
}
