#include "setup_ui/setup_dialog.h"

#include <objidl.h>
#include <gdiplus.h>

#include "framework/about_dialog.h"
#include "framework/common_controls.h"
#include "framework/text.h"
#include "resources/resource_ids.h"
#include "setup_ui/setup_messages.h"
#include "setup_ui/skin_images.h"
#include "setup_ui/terms_dialog.h"

using namespace setup_layout;
using install::RunMessage;
using install::RunPhase;

namespace {

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

// The work area of the monitor that holds the cursor: the one the user started
// setup from, with the taskbar and docked bars left out. The primary monitor's when
// the cursor cannot be read (no input desktop).
RECT WorkAreaUnderCursor() {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    POINT cursor;
    if (!GetCursorPos(&cursor)) return work;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoA(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
    return work;
}

POINT ClientPoint(LPARAM point) { return {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))}; }

}  // namespace

const MessageEntry<SetupDialog> SetupDialog::kMessageMap[] = {
    {WM_ERASEBKGND, 0, 0, &SetupDialog::OnEraseBackground},
    {WM_PAINT, 0, 0, &SetupDialog::OnPaint},
    {WM_TIMER, 0, 0, &SetupDialog::OnTimer},
    {WM_SYSCOMMAND, 0, 0, &SetupDialog::OnSystemCommand},
    {WM_QUERYDRAGICON, 0, 0, &SetupDialog::OnQueryDragIcon},
    {WM_LBUTTONDOWN, 0, 0, &SetupDialog::OnLeftButtonDown},
    {WM_LBUTTONUP, 0, 0, &SetupDialog::OnLeftButtonUp},
    {WM_MOUSEMOVE, 0, 0, &SetupDialog::OnMouseMove},
    {WM_DESTROY, 0, 0, &SetupDialog::OnDestroy},
    {WM_COMMAND, kFirstCommand, kLastCommand, &SetupDialog::OnCommand},
};

SetupDialog::SetupDialog(install::SetupRunner& runner, HMODULE user32Module)
    : Dialog(IDD_SETUP, nullptr),
      runner_(runner),
      frame_(user32Module),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM))) {}

SetupDialog::~SetupDialog() { DestroyWindow(); }

bool SetupDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchMessageMap(this, kMessageMap, message, wParam, lParam, result);
}

BOOL SetupDialog::PreTranslateMessage(MSG* msg) {
    // Neither Enter nor Escape may end setup: the only ways out are finishing and
    // declining the terms.
    if (IsEnterOrEscapeKey(msg)) return TRUE;
    if (termsWindow_) {
        HWND terms = termsWindow_->GetSafeHwnd();
        if (terms && (msg->hwnd == terms || IsChild(terms, msg->hwnd))) return termsWindow_->PreTranslateMessage(msg);
    }
    return Dialog::PreTranslateMessage(msg);
}

void SetupDialog::OnCreate() {
    // Setup runs for minutes: a user who switches to another window must find it
    // again on the taskbar and with Alt-Tab.
    MakeCaptionlessWindow(hwnd_, TaskbarEntry::Shown);
    ShowWindow(hwnd_, SW_HIDE);
}

BOOL SetupDialog::OnInitDialog() {
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    SkinSize base = LoadBaseImage(frame_);
    frameWidth_ = base.width;
    frameHeight_ = base.height;
    // The first frame gives the window its size where it stands: put it in the
    // middle of the work area first.
    RECT work = WorkAreaUnderCursor();
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - frameWidth_) / 2,
                 work.top + (work.bottom - work.top - frameHeight_) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    controls_.Create(hwnd_);
    InvalidateRect(hwnd_, nullptr, TRUE);
    // Among the user's windows, not over them: whatever the user brings up while
    // the package downloads covers setup. The terms window and the message boxes
    // are owned by this window and stay over it.
    SetWindowLayer(frame_, hwnd_, WindowLayer::Normal);
    SetTimer(hwnd_, kTermsPageTimer, kTermsPageDelayMilliseconds, nullptr);
    return TRUE;
}

SetupPage SetupDialog::PageNow() const {
    switch (runner_.Phase()) {
        case RunPhase::AwaitingTerms:
            return SetupPage::Terms;
        case RunPhase::FetchingChanges:
        case RunPhase::Downloading:
        case RunPhase::Unpacking:
            return SetupPage::Progress;
        default:
            // The whole bar first, for a moment, then the completion page.
            return GetTickCount() - wholeSince_ < kWholeBarMilliseconds ? SetupPage::Progress : SetupPage::Completion;
    }
}

void SetupDialog::PaintPage() {
    if (!controls_.Created()) {
        BeginFrame(frame_, frameWidth_, frameHeight_);
        PushLayeredFrame(frame_, hwnd_, frameWidth_, frameHeight_);
        return;
    }
    if (dragging_ && termsWindow_) {
        // The hidden terms window travels as a picture drawn onto the last frame.
        if (termsWindow_->snapshot && frame_.compositeImage) {
            Gdiplus::Graphics graphics(frame_.compositeImage.get());
            graphics.DrawImage(termsWindow_->snapshot.get(), kTermsLeft, kTermsTop);
        }
        PushLayeredFrame(frame_, hwnd_, frameWidth_, frameHeight_);
        return;
    }
    BeginFrame(frame_, frameWidth_, frameHeight_);
    auto draw = [this](int id) { controls_.Draw(frame_, id); };
    switch (shownPage_) {
        case SetupPage::Terms:
            for (int id : {kBaseImage, kTermsPage, kStartButton, kDeclineButton}) draw(id);
            draw(termsTicked_ ? kBoxOn : kBoxOff);
            break;
        case SetupPage::Progress:
            draw(kProgressPage);
            controls_.DrawFill(frame_, shownProgress_.fillWidth);
            draw(kFirstSlide - 1 + shownProgress_.slide);
            break;
        case SetupPage::Completion:
            draw(kCompletionPage);
            draw(kFinishButton);
            break;
    }
    PushLayeredFrame(frame_, hwnd_, frameWidth_, frameHeight_);
}

void SetupDialog::ShowRun() {
    if (ended_) return;
    if (runner_.HasEnded()) {
        EndRun();
        return;
    }
    if (runner_.Phase() == RunPhase::AwaitingFinish && wholeSince_ == 0) wholeSince_ = GetTickCount();
    SetupPage page = PageNow();
    install::ProgressDisplay progress = runner_.Display();
    if (page == shownPage_ && progress == shownProgress_) return;
    shownPage_ = page;
    shownProgress_ = progress;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void SetupDialog::EndRun() {
    ended_ = true;
    KillTimer(hwnd_, kRunTimer);
    DestroyTermsWindow();
    for (const install::ShortcutResult& failure : runner_.ShortcutFailures()) ShowShortcutFailure(hwnd_, failure);
    ShowRunMessage(hwnd_, runner_.Message());
    OnCancel();
}

bool SetupDialog::OnEraseBackground(WPARAM, LPARAM, LRESULT& result) {
    PaintPage();
    result = 1;
    return true;
}

bool SetupDialog::OnPaint(WPARAM, LPARAM, LRESULT& result) {
    // Validates the window; the frame itself is composed on WM_ERASEBKGND, which
    // BeginPaint sends.
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    EndPaint(hwnd_, &ps);
    result = 0;
    return true;
}

void SetupDialog::OpenTermsWindow() {
    RECT rect = WindowRect(hwnd_);
    termsWindow_ = new TermsDialog(nullptr);
    termsWindow_->ownerPointer = &termsWindow_;
    termsWindow_->Create(hwnd_);
    termsWindow_->FillAndPlace(rect.left + kTermsLeft, rect.top + kTermsTop, kTermsWidth, kTermsHeight);
}

void SetupDialog::PlaceTermsWindow() {
    RECT rect = WindowRect(hwnd_);
    termsWindow_->PlaceAt(rect.left + kTermsLeft, rect.top + kTermsTop, kTermsWidth, kTermsHeight);
}

void SetupDialog::RestoreTermsWindow() {
    if (!termsWindow_ || !IsWindowVisible(termsWindow_->GetSafeHwnd())) return;
    // A window that takes the focus may be raised over the windows it owns (Wine
    // does so without a window manager): placing the terms window again puts it
    // back over this one.
    PlaceTermsWindow();
}

void SetupDialog::DestroyTermsWindow() {
    if (!termsWindow_) return;
    TermsDialog* terms = termsWindow_;
    termsWindow_ = nullptr;
    ShowWindow(terms->GetSafeHwnd(), SW_HIDE);
    delete terms;
}

bool SetupDialog::OnTimer(WPARAM id, LPARAM, LRESULT&) {
    if (id == kTermsPageTimer) {
        KillTimer(hwnd_, kTermsPageTimer);
        controls_.ShowButton(kFinishButton, false);
        controls_.ShowButton(kStartButton, true);
        controls_.ShowButton(kDeclineButton, true);
        SetTicked(false);
        if (!termsWindow_) OpenTermsWindow();
    } else if (id == kRunTimer && !aboutOpen_) {
        runner_.Poll();
        ShowRun();
    }
    return false;
}

bool SetupDialog::OnSystemCommand(WPARAM id, LPARAM, LRESULT& result) {
    if ((id & 0xFFF0) == kAboutCommand) {
        aboutOpen_ = true;
        AboutDialog about(IDD_ABOUT, hwnd_);
        about.DoModal();
        aboutOpen_ = false;
        result = 0;
        return true;
    }
    if ((id & 0xFFF0) == SC_CLOSE) {
        result = 0;
        return true;
    }
    return false;
}

bool SetupDialog::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result) {
    result = reinterpret_cast<LRESULT>(icon_);
    return true;
}

bool SetupDialog::OnLeftButtonDown(WPARAM, LPARAM point, LRESULT&) {
    if (termsWindow_) {
        termsWindow_->Capture();
        ShowWindow(termsWindow_->GetSafeHwnd(), SW_HIDE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    RECT client;
    GetClientRect(hwnd_, &client);
    POINT at = ClientPoint(point);
    if (PtInRect(&client, at)) {
        dragging_ = true;
        SetCapture(hwnd_);
        dragStart_ = at;
    }
    return false;
}

bool SetupDialog::OnMouseMove(WPARAM keys, LPARAM point, LRESULT&) {
    if (dragging_ && (keys & MK_LBUTTON)) {
        RECT rect = WindowRect(hwnd_);
        POINT at = ClientPoint(point);
        SetWindowPos(hwnd_, HWND_TOP, rect.left + at.x - dragStart_.x, rect.top + at.y - dragStart_.y,
                     rect.right - rect.left, rect.bottom - rect.top, SWP_SHOWWINDOW);
    }
    return false;
}

bool SetupDialog::OnLeftButtonUp(WPARAM, LPARAM point, LRESULT&) {
    dragging_ = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (termsWindow_) PlaceTermsWindow();
    RECT client;
    GetClientRect(hwnd_, &client);
    POINT at = ClientPoint(point);
    if (PtInRect(&client, at)) ReleaseCapture();
    return false;
}

bool SetupDialog::OnDestroy(WPARAM, LPARAM, LRESULT&) {
    KillTimer(hwnd_, kRunTimer);
    controls_.Destroy();
    DestroyTermsWindow();
    return false;
}

void SetupDialog::SetTicked(bool ticked) {
    termsTicked_ = ticked;
    controls_.ShowButton(kBoxOff, !ticked);
    controls_.ShowButton(kBoxOn, ticked);
    InvalidateRect(hwnd_, nullptr, TRUE);
    RestoreTermsWindow();
}

void SetupDialog::StartAccepted() {
    DestroyTermsWindow();
    // Nobody sees the terms page's buttons from here on; hidden, they no longer
    // catch the clicks of a user who grabs the window to drag it. Finish is live
    // but not drawn: the run lets it act only on a whole version folder.
    for (int id : {kStartButton, kDeclineButton, kBoxOff, kBoxOn}) controls_.ShowButton(id, false);
    controls_.ShowButton(kFinishButton, true);
    runner_.AcceptTerms();
    SetTimer(hwnd_, kRunTimer, kRunMilliseconds, nullptr);
    ShowRun();
}

bool SetupDialog::OnCommand(WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    bool onTerms = runner_.Phase() == RunPhase::AwaitingTerms;
    switch (LOWORD(wParam)) {
        case kFinishButton:
            runner_.Finish();
            ShowRun();
            break;
        case kStartButton:
            if (!onTerms) break;
            if (!termsTicked_) {
                ShowMessageBox(hwnd_, "사용 약관에 동의 하신 후 Velmora 2.0 설치를 시작합니다.", "사용 약관 동의", MB_OK);
                RestoreTermsWindow();
                break;
            }
            StartAccepted();
            break;
        case kDeclineButton:
            if (!onTerms) break;
            runner_.DeclineTerms();
            ShowRun();
            break;
        case kBoxOff:
        case kBoxOn:
            if (onTerms) SetTicked(LOWORD(wParam) == kBoxOff);
            break;
        default:
            break;
    }
    return true;
}
