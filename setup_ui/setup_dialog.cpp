#include "setup_ui/setup_dialog.h"

#include <objidl.h>
#include <gdiplus.h>

#include "app/registry_store.h"
#include "app/suite_contract.h"
#include "framework/about_dialog.h"
#include "framework/text.h"
#include "resources/resource_ids.h"
#include "setup_ui/setup_layout.h"
#include "setup_ui/skin_images.h"
#include "setup_ui/terms_dialog.h"

using namespace setup_layout;

namespace {

const char* const kCaption = "Velmora 2.0 설치";

// The download's display is brought up to date this often: often enough to look
// smooth, seldom enough that composing frames costs next to nothing.
const UINT kProgressDisplayMilliseconds = 100;

const Place* FindPlace(int id) {
    for (const Place& place : kPlaces)
        if (place.id == id) return &place;
    return nullptr;
}

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

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
    {WM_DOWNLOAD_PROGRESS, 0, 0, &SetupDialog::OnDownloadProgress},
    {WM_DOWNLOAD_DONE, 0, 0, &SetupDialog::OnDownloadDone},
};

SetupDialog::SetupDialog(HWND parent, const StartupFindings& startupFindings, HMODULE user32Module)
    : Dialog(IDD_SETUP, parent),
      findings(startupFindings),
      frame(user32Module),
      icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM))) {}

SetupDialog::~SetupDialog() { DestroyWindow(); }

bool SetupDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchMessageMap(this, kMessageMap, message, wParam, lParam, result);
}

BOOL SetupDialog::PreTranslateMessage(MSG* msg) {
    // Neither Enter nor Escape may end setup: the only ways out are finishing and
    // declining the terms.
    if (IsEnterOrEscapeKey(msg)) return TRUE;
    if (termsWindow) {
        HWND terms = termsWindow->GetSafeHwnd();
        if (terms && (msg->hwnd == terms || IsChild(terms, msg->hwnd))) return termsWindow->PreTranslateMessage(msg);
    }
    return Dialog::PreTranslateMessage(msg);
}

void SetupDialog::OnCreate() {
    MakeCaptionlessToolWindow(hwnd_);
    ShowWindow(hwnd_, SW_HIDE);
}

BOOL SetupDialog::OnInitDialog() {
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (IsFreshInstall()) {
        SkinSize base = LoadBaseImage(frame);
        frameWidth = base.width;
        frameHeight = base.height;
        // The first frame gives the window its size where it stands: put it in the
        // middle of the work area first.
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - frameWidth) / 2,
                     work.top + (work.bottom - work.top - frameHeight) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CreateSkinControls();
        InvalidateRect(hwnd_, nullptr, TRUE);
        SendQuitRequestToSuite();
        SetZOrderMode(frame, hwnd_, 0);
        SetTimer(hwnd_, kTermsPageTimer, 10, nullptr);
    } else {
        CreateSkinControls();
        InvalidateRect(hwnd_, nullptr, TRUE);
        SendQuitRequestToSuite();
        SetTimer(hwnd_, kUpdateStartTimer, 10, nullptr);
    }
    return TRUE;
}

void SetupDialog::SendQuitRequestToSuite() {
    HWND suite = FindWindowA(suite::kWindowClass, nullptr);
    if (suite) SendMessageA(suite, suite::kQuitRequest, 0, 0);
}

void SetupDialog::CreateSkinControls() {
    for (int i = 0; i < kLabelCount; ++i) {
        int id = kFirstLabel + i;
        labels.push_back(std::unique_ptr<SkinLabel>(new SkinLabel()));
        const Place* place = FindPlace(id);
        if (!place) continue;
        SkinSize size = GetSkinImageSize(text::Format("#%d", id).c_str(), "MAINS");
        labels.back()->Create(id, place->x, place->y, size.width, size.height, hwnd_);
    }
    for (int i = 0; i < kButtonCount; ++i) {
        int id = kFirstButton + i;
        buttons.push_back(std::unique_ptr<SkinButton>(new SkinButton()));
        const Place* place = FindPlace(id);
        if (!place) continue;
        SkinSize size = GetSkinImageSize(text::Format("#%d", id).c_str(), "MAINB");
        buttons.back()->Create(id, place->x, place->y, size.width, size.height, hwnd_);
    }
    controlsCreated = true;
}

SkinLabel* SetupDialog::Label(int id) const {
    size_t index = static_cast<size_t>(id - kFirstLabel);
    return index < labels.size() ? labels[index].get() : nullptr;
}

SkinButton* SetupDialog::Button(int id) const {
    size_t index = static_cast<size_t>(id - kFirstButton);
    return index < buttons.size() ? buttons[index].get() : nullptr;
}

void SetupDialog::ShowButton(int id, bool show) {
    SkinButton* button = Button(id);
    if (!button || !button->GetSafeHwnd()) return;
    if (show) {
        EnableWindow(button->GetSafeHwnd(), TRUE);
        ShowWindow(button->GetSafeHwnd(), SW_SHOW);
    } else {
        ShowWindow(button->GetSafeHwnd(), SW_HIDE);
        EnableWindow(button->GetSafeHwnd(), FALSE);
    }
}

void SetupDialog::PaintPage() {
    if (findings.IsUpdate()) return;
    if (!controlsCreated) {
        BeginFrame(frame, frameWidth, frameHeight);
        PushLayeredFrame(frame, hwnd_, frameWidth, frameHeight);
        return;
    }
    if (dragging && termsWindow) {
        // The hidden terms window travels as a picture drawn onto the last frame.
        if (termsWindow->snapshot && frame.compositeImage) {
            Gdiplus::Graphics graphics(frame.compositeImage.get());
            graphics.DrawImage(termsWindow->snapshot.get(), kTermsLeft, kTermsTop);
        }
        PushLayeredFrame(frame, hwnd_, frameWidth, frameHeight);
        return;
    }
    BeginFrame(frame, frameWidth, frameHeight);
    auto draw = [this](const SkinControl* control) {
        if (auto* label = dynamic_cast<const SkinLabel*>(control)) label->Draw(frame);
        if (auto* button = dynamic_cast<const SkinButton*>(control)) button->Draw(frame);
    };
    switch (PageForStep(stepCounter)) {
        case SetupPage::Terms:
            draw(Label(kBaseImage));
            draw(Label(kTermsPage));
            draw(Button(kStartButton));
            draw(Button(kDeclineButton));
            draw(Button(termsAccepted ? kBoxOn : kBoxOff));
            break;
        case SetupPage::Progress: {
            ProgressDisplay shown = ShownProgress();
            draw(Label(kProgressPage));
            if (SkinLabel* fill = Label(kProgressFill)) fill->DrawStretched(frame, shown.fillWidth);
            draw(Label(kFirstSlide - 1 + shown.slide));
            break;
        }
        case SetupPage::Completion:
            draw(Label(kCompletionPage));
            draw(Button(kFinishButton));
            break;
    }
    PushLayeredFrame(frame, hwnd_, frameWidth, frameHeight);
}

ProgressDisplay SetupDialog::ShownProgress() const { return Further(DisplayForStep(stepCounter), downloadReached); }

void SetupDialog::ShowDownloadProgress() {
    ProgressDisplay before = ShownProgress();
    downloadReached = Further(downloadReached, DisplayForBytes(receivedBytes, totalBytes));
    if (ShownProgress() != before) InvalidateRect(hwnd_, nullptr, TRUE);
}

void SetupDialog::ContinueStepsFromDownload() {
    KillTimer(hwnd_, kProgressDisplayTimer);
    if (findings.IsUpdate()) return;  // never drawn
    // The last report may have come after the last tick.
    ShowDownloadProgress();
    int reached = StepCovering(downloadReached);
    if (stepCounter < reached) {
        stepCounter = reached;
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

void SetupDialog::NextStep() {
    ++stepCounter;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void SetupDialog::PauseHandlingMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // It belongs to the loop outside this one: put it back for that loop.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (!PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
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
    termsWindow = new TermsDialog(nullptr);
    termsWindow->ownerPointer = &termsWindow;
    termsWindow->Create(hwnd_);
    termsWindow->FillAndPlace(rect.left + kTermsLeft, rect.top + kTermsTop, kTermsWidth, kTermsHeight);
}

void SetupDialog::PlaceTermsWindow() {
    RECT rect = WindowRect(hwnd_);
    termsWindow->PlaceAt(rect.left + kTermsLeft, rect.top + kTermsTop, kTermsWidth, kTermsHeight);
}

void SetupDialog::RestoreTermsWindow() {
    if (!termsWindow || !IsWindowVisible(termsWindow->GetSafeHwnd())) return;
    // A window that takes the focus may be raised over the windows it owns (Wine
    // does so without a window manager): placing the terms window again puts it
    // back over this one.
    PlaceTermsWindow();
}

void SetupDialog::DestroyTermsWindow() {
    if (!termsWindow) return;
    TermsDialog* terms = termsWindow;
    termsWindow = nullptr;
    ShowWindow(terms->GetSafeHwnd(), SW_HIDE);
    delete terms;
}

bool SetupDialog::OnTimer(WPARAM id, LPARAM, LRESULT&) {
    if (id == kTermsPageTimer) {
        KillTimer(hwnd_, kTermsPageTimer);
        ShowButton(kFinishButton, false);
        ShowButton(kStartButton, true);
        ShowButton(kDeclineButton, true);
        ShowButton(kBoxOff, true);
        ShowButton(kBoxOn, false);
        if (!termsWindow) OpenTermsWindow();
    } else if (id == kCompletionTimer) {
        if (stepCounter < kCompletionStep) {
            NextStep();
        } else {
            KillTimer(hwnd_, kCompletionTimer);
            completionTimer = 0;
            ShowButton(kStartButton, false);
            ShowButton(kDeclineButton, false);
        }
    } else if (id == kDownloadWatchTimer) {
        WatchDownload();
    } else if (id == kProgressDisplayTimer) {
        ShowDownloadProgress();
        if (!download.IsRunning()) KillTimer(hwnd_, kProgressDisplayTimer);
    } else if (id == kUpdateStartTimer) {
        KillTimer(hwnd_, kUpdateStartTimer);
        StartDownload(findings.downloadUrl);
    }
    return false;
}

bool SetupDialog::OnSystemCommand(WPARAM id, LPARAM, LRESULT& result) {
    if ((id & 0xFFF0) == kAboutCommand) {
        // A modal box inside the unpacking's pause would hold the unpacking up.
        if (unpacking) return true;
        AboutDialog about(IDD_ABOUT, hwnd_);
        about.DoModal();
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
    result = reinterpret_cast<LRESULT>(icon);
    return true;
}

bool SetupDialog::OnLeftButtonDown(WPARAM, LPARAM point, LRESULT&) {
    if (termsWindow) {
        termsWindow->Capture();
        ShowWindow(termsWindow->GetSafeHwnd(), SW_HIDE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    RECT client;
    GetClientRect(hwnd_, &client);
    POINT at = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (PtInRect(&client, at)) {
        dragging = true;
        SetCapture(hwnd_);
        dragStartX = at.x;
        dragStartY = at.y;
    }
    return false;
}

bool SetupDialog::OnMouseMove(WPARAM keys, LPARAM point, LRESULT&) {
    if (dragging && (keys & MK_LBUTTON)) {
        RECT rect = WindowRect(hwnd_);
        int x = static_cast<short>(LOWORD(point)), y = static_cast<short>(HIWORD(point));
        SetWindowPos(hwnd_, HWND_TOP, rect.left + x - dragStartX, rect.top + y - dragStartY,
                     rect.right - rect.left, rect.bottom - rect.top, SWP_SHOWWINDOW);
    }
    return false;
}

bool SetupDialog::OnLeftButtonUp(WPARAM, LPARAM point, LRESULT&) {
    dragging = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (termsWindow) PlaceTermsWindow();
    RECT client;
    GetClientRect(hwnd_, &client);
    POINT at = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (PtInRect(&client, at)) ReleaseCapture();
    return false;
}

bool SetupDialog::OnDestroy(WPARAM, LPARAM, LRESULT&) {
    labels.clear();
    buttons.clear();
    if (completionTimer) KillTimer(hwnd_, kCompletionTimer);
    completionTimer = 0;
    DestroyTermsWindow();
    return false;
}

bool SetupDialog::OnDownloadProgress(WPARAM, LPARAM report, LRESULT& result) {
    // Answered at once, so that the worker is never held up.
    if (report) {
        const DownloadProgress& progress = *reinterpret_cast<const DownloadProgress*>(report);
        if (progress.progress != lastDownloadBytes) {
            lastDownloadBytes = progress.progress;
            lastDownloadActivity = GetTickCount();
        }
        // Only the data reports count bytes of the package; the display timer
        // shows them, so that a report never waits for a repaint.
        if (progress.statusCode == BINDSTATUS_BEGINDOWNLOADDATA || progress.statusCode == BINDSTATUS_DOWNLOADINGDATA ||
            progress.statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
            receivedBytes = progress.progress;
            totalBytes = progress.progressMax;
        }
    }
    result = 0;
    return true;
}

void SetupDialog::Fail(const char* message) {
    MessageBoxA(hwnd_, message, kCaption, MB_OK | MB_ICONERROR);
    OnCancel();
}

bool SetupDialog::OnCommand(WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    // Unpacking handles this window's messages between its entries: nothing may
    // start a download or run the install sequence underneath it.
    if (unpacking) return true;
    switch (LOWORD(wParam)) {
        case kUpdateCommand:
            RunInstallSequence(install::InstallVariant::Update);
            break;
        case kFinishButton:
            // Live but not drawn from the start of the download: before the package
            // is unpacked there is nothing to install, so a click does nothing.
            if (unpackCompleted) RunInstallSequence(install::InstallVariant::Fresh);
            break;
        case kStartButton:
            if (startAccepted) break;  // a second click must not cancel the download it started
            if (!termsAccepted) {
                MessageBoxA(hwnd_, "사용 약관에 동의 하신 후 Velmora 2.0 설치를 시작합니다.", "사용 약관 동의", MB_OK);
                RestoreTermsWindow();
                break;
            }
            startAccepted = true;
            DestroyTermsWindow();
            // Nobody sees the terms page's buttons from here on; hidden, they no
            // longer catch the clicks of a user who grabs the window to drag it.
            for (int id : {kStartButton, kDeclineButton, kBoxOff, kBoxOn}) ShowButton(id, false);
            ShowButton(kFinishButton, true);
            if (StartDownload(findings.downloadUrl))
                SetTimer(hwnd_, kProgressDisplayTimer, kProgressDisplayMilliseconds, nullptr);
            break;
        case kDeclineButton:
            if (startAccepted) break;
            DestroyTermsWindow();
            WriteSetting(SettingKind::AxCancel, "", text::Trim(TodayAsDigits()));
            OnCancel();
            break;
        case kBoxOff:
            if (startAccepted) break;
            termsAccepted = true;
            ShowButton(kBoxOff, false);
            ShowButton(kBoxOn, true);
            InvalidateRect(hwnd_, nullptr, TRUE);
            RestoreTermsWindow();
            break;
        case kBoxOn:
            if (startAccepted) break;
            termsAccepted = false;
            ShowButton(kBoxOn, false);
            ShowButton(kBoxOff, true);
            InvalidateRect(hwnd_, nullptr, TRUE);
            RestoreTermsWindow();
            break;
        default:
            break;
    }
    return true;
}
