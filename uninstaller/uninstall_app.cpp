// VL2Del.exe: started without arguments (by the uninstall entry), it starts a copy of
// itself from TEMP and ends; the copy, started with the original's path as its only
// argument, runs the dialog once. No other argument is read.
#include <windows.h>

#include "framework/application.h"
#include "install/removal_plan.h"
#include "uninstaller/temp_copy.h"
#include "uninstaller/uninstall_dialog.h"

namespace {

class UninstallApp : public Application {
 public:
    BOOL InitInstance() override {
        std::string original = removal::OriginalFromCommandLine(GetCommandLineA());
        if (original.empty()) {
            if (StartCopyInTemp()) return FALSE;
            // Without a copy the work is done here, and this program's own file is
            // named among what is left.
            char self[MAX_PATH] = "";
            GetModuleFileNameA(nullptr, self, MAX_PATH);
            original = self;
        }
        UninstallDialog dialog(original);
        dialog.DoModal();
        return FALSE;
    }
};

UninstallApp theApp;

}  // namespace
