// A plain information dialog that closes on OK or Escape: the About boxes.
#pragma once

#include "framework/dialog.h"

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
