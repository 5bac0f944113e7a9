// A dialog window bound to a C++ object. Messages are routed through a message map
// of member handlers; a handler returns true when it answered the message and false
// to leave it to the default dialog processing. The modal loop is our own so that
// PreTranslateMessage sees every message first, as the key filters need.
#pragma once

#include <windows.h>

class Dialog {
 public:
    Dialog(UINT templateId, HWND parent);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // The result EndDialog was given; -1 when the window could not be made.
    INT_PTR DoModal();
    // Creates the dialog modeless, owned by `parent`.
    BOOL CreateModeless(HWND parent);
    void EndDialog(INT_PTR result);
    void OnCancel() { EndDialog(IDCANCEL); }
    BOOL DestroyWindow();

    HWND GetSafeHwnd() const { return hwnd_; }

    virtual BOOL PreTranslateMessage(MSG* msg);

 protected:
    // Called at the start of WM_INITDIALOG, before OnInitDialog: the place for
    // changes that belong to window creation (styles, hiding).
    virtual void OnCreate() {}
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After the window is gone; a self-owned dialog may delete itself here.
    virtual void PostNcDestroy() {}

    HWND hwnd_ = nullptr;
    UINT templateId_;
    HWND parent_;

 private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool modalEnded_ = false;
    INT_PTR modalResult_ = 0;
};

// True for a key press or release of Enter or Escape, which the setup windows
// swallow so that neither closes them.
inline bool IsEnterOrEscapeKey(const MSG* msg) {
    return (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) &&
           (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

// Whether a window has a button on the taskbar and an entry in Alt-Tab.
enum class TaskbarEntry {
    Shown,  // a window of its own that the user may lose behind others and look for
    None,   // a part of another window, which that window's entry stands for
};

// Takes the caption away and gives the window its taskbar entry, or none (a tool
// window). The taskbar reads the styles when the window is shown: call it while
// the window is still hidden.
inline void MakeCaptionlessWindow(HWND window, TaskbarEntry entry) {
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_CAPTION);
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE) & ~(WS_EX_APPWINDOW | WS_EX_TOOLWINDOW);
    SetWindowLongA(window, GWL_EXSTYLE, exStyle | (entry == TaskbarEntry::Shown ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW));
}

// One row of a message map: a message, for WM_COMMAND a range of control ids (for
// WM_TIMER the handler sees the timer id in wParam), and the member that answers.
template <typename Owner>
struct MessageEntry {
    UINT message;
    UINT firstId;
    UINT lastId;
    bool (Owner::*handler)(WPARAM wParam, LPARAM lParam, LRESULT& result);
};

template <typename Owner, size_t N>
bool DispatchMessageMap(Owner* owner, const MessageEntry<Owner> (&map)[N], UINT message, WPARAM wParam,
                        LPARAM lParam, LRESULT& result) {
    for (const MessageEntry<Owner>& entry : map) {
        if (entry.message != message) continue;
        if (message == WM_COMMAND) {
            UINT id = LOWORD(wParam);
            if (id < entry.firstId || id > entry.lastId) continue;
        }
        return (owner->*entry.handler)(wParam, lParam, result);
    }
    return false;
}
