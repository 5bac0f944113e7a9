#include "setup_ui/terms_dialog.h"

#include <objidl.h>
#include <gdiplus.h>


#include "framework/about_dialog.h"
#include "framework/scoped.h"
#include "resources/resource_ids.h"
#include "setup_ui/setup_layout.h"
#include "setup_ui/terms_text.h"

const MessageEntry<TermsDialog> TermsDialog::kMessageMap[] = {
    {WM_TIMER, 0, 0, &TermsDialog::OnTimer},
    {WM_SIZE, 0, 0, &TermsDialog::OnSize},
    {WM_ERASEBKGND, 0, 0, &TermsDialog::OnEraseBackground},
    {WM_PAINT, 0, 0, &TermsDialog::OnPaint},
    {WM_CTLCOLORSTATIC, 0, 0, &TermsDialog::OnControlColor},
    {WM_SYSCOMMAND, 0, 0, &TermsDialog::OnSystemCommand},
    {WM_CLOSE, 0, 0, &TermsDialog::OnClose},
    {WM_DESTROY, 0, 0, &TermsDialog::OnDestroy},
};

TermsDialog::TermsDialog(HWND parent)
    : Dialog(IDD_TERMS, parent), parentWindow(parent), hollowBrush(static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) {}

TermsDialog::~TermsDialog() {
    deleting_ = true;
    DestroyWindow();
}

BOOL TermsDialog::Create(HWND parent) {
    parentWindow = parent;
    return CreateModeless(parent);
}

void TermsDialog::OnCreate() {
    // The terms window is a part of the setup window, which has the entry.
    MakeCaptionlessWindow(hwnd_, TaskbarEntry::None);
}

BOOL TermsDialog::OnInitDialog() {
    edit = GetDlgItem(hwnd_, IDC_TERMS_EDIT);
    // Shown at zero size, just below the setup window, until it is placed.
    SetWindowPos(hwnd_, parentWindow, 0, 0, 0, 0, SWP_SHOWWINDOW);
    return TRUE;
}

void TermsDialog::FillAndPlace(int x, int y, int width, int height) {
    placeRect = {x, y, width, height};
    std::string terms = BuildTermsText();
    RECT client;
    GetClientRect(hwnd_, &client);
    MoveWindow(edit, 0, 0, client.right, client.bottom, TRUE);
    SetWindowTextA(edit, terms.c_str());
    placementTimer =
        SetTimer(hwnd_, setup_layout::kTermsPlacementTimer, setup_layout::kTermsPlacementDelayMilliseconds, nullptr);
}

void TermsDialog::PlaceAt(int x, int y, int width, int height) {
    SetWindowPos(hwnd_, parentWindow, x, y, width, height, SWP_SHOWWINDOW);
}

void TermsDialog::Capture() {
    snapshot.reset();
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    HBITMAP picture;
    {
        ScopedWindowDc window(hwnd_);
        ScopedMemoryDc memory(CreateCompatibleDC(window.Get()));
        picture = CreateCompatibleBitmap(window.Get(), width, height);
        HGDIOBJ old = SelectObject(memory.Get(), picture);
        BitBlt(memory.Get(), 0, 0, width, height, window.Get(), 0, 0, SRCPAINT);
        SelectObject(memory.Get(), old);
    }
    ScopedGdiObject owned(picture);
    snapshot.reset(Gdiplus::Bitmap::FromHBITMAP(picture, nullptr));
}

BOOL TermsDialog::PreTranslateMessage(MSG* msg) {
    // Enter and Escape must neither close this window nor reach the setup window.
    if (IsEnterOrEscapeKey(msg)) return TRUE;
    return Dialog::PreTranslateMessage(msg);
}

bool TermsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchMessageMap(this, kMessageMap, message, wParam, lParam, result);
}

bool TermsDialog::OnTimer(WPARAM id, LPARAM, LRESULT&) {
    if (id == setup_layout::kTermsPlacementTimer) {
        KillTimer(hwnd_, setup_layout::kTermsPlacementTimer);
        placementTimer = 0;
        PlaceAt(placeRect.left, placeRect.top, placeRect.right, placeRect.bottom);
    }
    return false;
}

bool TermsDialog::OnSize(WPARAM, LPARAM lParam, LRESULT&) {
    if (edit) MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return false;
}

bool TermsDialog::OnEraseBackground(WPARAM dc, LPARAM, LRESULT& result) {
    // The context given is clipped to what needs erasing. The white must also stay
    // off the edit control: its text would be covered, and the edit is not told to
    // draw what another window's erase painted over.
    HDC target = reinterpret_cast<HDC>(dc);
    int saved = SaveDC(target);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT place;
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&place), 2);
        ExcludeClipRect(target, place.left, place.top, place.right, place.bottom);
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    ScopedGdiObject white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(target, &client, static_cast<HBRUSH>(white.Get()));
    RestoreDC(target, saved);
    result = 1;
    return true;
}

bool TermsDialog::OnPaint(WPARAM, LPARAM, LRESULT& result) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    EndPaint(hwnd_, &ps);
    result = 0;
    return true;
}

bool TermsDialog::OnControlColor(WPARAM dc, LPARAM control, LRESULT& result) {
    SetBkMode(reinterpret_cast<HDC>(dc), TRANSPARENT);
    result = reinterpret_cast<LRESULT>(hollowBrush);
    return true;
}

bool TermsDialog::OnSystemCommand(WPARAM id, LPARAM, LRESULT& result) {
    if ((id & 0xFFF0) == kAboutCommand || (id & 0xFFF0) == SC_CLOSE) {
        result = 0;
        return true;
    }
    return false;
}

bool TermsDialog::OnClose(WPARAM, LPARAM, LRESULT& result) {
    ::DestroyWindow(hwnd_);
    result = 0;
    return true;
}

bool TermsDialog::OnDestroy(WPARAM, LPARAM, LRESULT&) {
    snapshot.reset();
    return false;
}

void TermsDialog::PostNcDestroy() {
    // Destroyed by any route: the setup window must not keep a stale pointer.
    if (ownerPointer && *ownerPointer == this) *ownerPointer = nullptr;
    if (!deleting_) delete this;
}
