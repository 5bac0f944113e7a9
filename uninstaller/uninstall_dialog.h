// VL2Del.exe's only window: a hidden 1x1 dialog that asks for confirmation, makes
// the running suite quit, and then removes the suite's settings, folders, shortcuts,
// uninstall entries, autostart value and the uninstaller that was started, reports
// the removal, and tells the user what it could not remove.
#pragma once

#include <string>
#include <vector>

#include "framework/dialog.h"

class UninstallDialog : public Dialog {
 public:
    // `uninstallerPath`: the uninstaller the user started, which goes too when it is ours.
    explicit UninstallDialog(const std::string& uninstallerPath);

    std::string installPath;
    std::string installedVersion;

 protected:
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
    void FindInstallRecord();
    // What stayed, as the user is to read it; empty when everything went.
    std::vector<std::string> RemoveEverything();

    std::string uninstallerPath_;
};
