// VL2Del.exe: runs its dialog once and ends; it reads no command line.
#include "framework/application.h"
#include "uninstaller/uninstall_dialog.h"

namespace {

class UninstallApp : public Application {
 public:
    BOOL InitInstance() override {
        UninstallDialog dialog;
        dialog.DoModal();
        return FALSE;
    }
};

UninstallApp theApp;

}  // namespace
