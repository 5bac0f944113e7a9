#include "framework/dialog.h"

#include "framework/application.h"
#include "framework/common_controls.h"

Dialog::Dialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::~Dialog() { DestroyWindow(); }

BOOL Dialog::DestroyWindow() {
    if (!hwnd_) return FALSE;
    return ::DestroyWindow(hwnd_);
}

INT_PTR Dialog::DoModal() {
    StartCommonControls();
    HWND owner = parent_;
    if (owner) EnableWindow(owner, FALSE);
    modalEnded_ = false;
    modalResult_ = -1;
    HINSTANCE instance = Application::Current() ? Application::Current()->instance : GetModuleHandleA(nullptr);
    HWND created = CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId_), owner, DialogProc,
                                      reinterpret_cast<LPARAM>(this));
    if (created) {
        MSG msg;
        while (!modalEnded_) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got <= 0) {
                if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow();
    return modalResult_;
}

BOOL Dialog::CreateModeless(HWND parent) {
    StartCommonControls();
    parent_ = parent;
    HINSTANCE instance = Application::Current() ? Application::Current()->instance : GetModuleHandleA(nullptr);
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId_), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    modalResult_ = result;
    modalEnded_ = true;
    // Wake the modal loop, which may be waiting in GetMessage.
    if (hwnd_) PostMessageA(hwnd_, WM_NULL, 0, 0);
}

BOOL Dialog::PreTranslateMessage(MSG* msg) { return hwnd_ && IsDialogMessageA(hwnd_, msg); }

bool Dialog::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // An exception must not cross the system's code that called this procedure.
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR Dialog::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = window;
        self->OnCreate();
        return self->OnInitDialog();
    }
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        self->PostNcDestroy();  // may delete the object
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->HandleMessage(message, wParam, lParam, result)) return FALSE;
    switch (message) {
        // These messages return their answer directly from the dialog procedure.
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
    }
}
