// The terms of use in an ordinary window of its own, because a layered window
// cannot show ordinary controls: a borderless modeless dialog with one multi-line
// edit, owned by the setup window and kept exactly over the terms page's white
// text area. While the setup window is dragged it is hidden and a picture of it
// moves instead.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/dialog.h"

namespace Gdiplus {
class Bitmap;
}

class TermsDialog : public Dialog {
 public:
    explicit TermsDialog(HWND parent);
    ~TermsDialog() override;

    BOOL Create(HWND parent);
    void FillAndPlace(int x, int y, int width, int height);
    void PlaceAt(int x, int y, int width, int height);
    // Takes a picture of the window as it is on screen, into `snapshot`.
    void Capture();
    BOOL PreTranslateMessage(MSG* msg) override;

    HWND parentWindow;
    // The owner's pointer to this window, cleared when the window goes by any route.
    TermsDialog** ownerPointer = nullptr;
    std::unique_ptr<Gdiplus::Bitmap> snapshot;
    HWND edit = nullptr;
    HBRUSH hollowBrush;
    RECT placeRect = {0, 0, 0, 0};  // left, top, width, height
    UINT_PTR placementTimer = 0;

 protected:
    void OnCreate() override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void PostNcDestroy() override;

 private:
    bool OnTimer(WPARAM id, LPARAM, LRESULT& result);
    bool OnSize(WPARAM, LPARAM lParam, LRESULT& result);
    bool OnEraseBackground(WPARAM, LPARAM, LRESULT& result);
    bool OnPaint(WPARAM, LPARAM, LRESULT& result);
    bool OnControlColor(WPARAM dc, LPARAM control, LRESULT& result);
    bool OnSystemCommand(WPARAM id, LPARAM, LRESULT& result);
    bool OnClose(WPARAM, LPARAM, LRESULT& result);
    bool OnDestroy(WPARAM, LPARAM, LRESULT& result);
    static const MessageEntry<TermsDialog> kMessageMap[];
    bool deleting_ = false;
};
