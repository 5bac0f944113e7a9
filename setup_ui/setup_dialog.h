// The setup window. For now it opens and closes itself after a while; the pages,
// skins and the download arrive with the setup user interface.
#pragma once

#include "framework/dialog.h"

class SetupDialog : public Dialog {
 public:
    explicit SetupDialog(HWND parent);

 protected:
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
