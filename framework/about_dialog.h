// A plain information dialog that closes on OK or Escape: the About boxes.
#pragma once

#include "framework/dialog.h"

// The system-menu command that opens a program's About box. System commands carry
// flags in their low four bits, so compare (wParam & 0xFFF0) with it.
constexpr UINT kAboutCommand = 0x10;

class AboutDialog : public Dialog {
 public:
    AboutDialog(UINT templateId, HWND parent) : Dialog(templateId, parent) {}

 protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(LOWORD(wParam));
            result = 0;
            return true;
        }
        return false;
    }
};
