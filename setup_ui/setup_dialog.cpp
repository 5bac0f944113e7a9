#include "setup_ui/setup_dialog.h"

#include "resources/resource_ids.h"

namespace {
const UINT_PTR kCloseTimer = 1;
}

SetupDialog::SetupDialog(HWND parent) : Dialog(IDD_SETUP, parent) {}

BOOL SetupDialog::OnInitDialog() {
    SetTimer(hwnd_, kCloseTimer, 8000, nullptr);
    return TRUE;
}

bool SetupDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    if (message == WM_TIMER && wParam == kCloseTimer) {
        KillTimer(hwnd_, kCloseTimer);
        OnCancel();
        return true;
    }
    return false;
}
