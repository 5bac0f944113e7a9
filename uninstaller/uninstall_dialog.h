// VL2Del.exe's only window: a hidden 1x1 dialog that asks for confirmation, makes
// the running suite quit, and then removes the suite's settings, folder, shortcuts,
// uninstall entry and autostart value, and reports the removal.
#pragma once

#include <string>

#include "framework/dialog.h"

class UninstallDialog : public Dialog {
 public:
    UninstallDialog();

    std::string installPath;
    std::string installedVersion;

 protected:
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
    void FindInstallRecord();
    void RemoveEverything();
};
