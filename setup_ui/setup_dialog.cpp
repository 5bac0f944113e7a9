#include "setup_ui/setup_dialog.h"

#include <objidl.h>
#include <gdiplus.h>

#include "app/registry_store.h"
#include "app/setup_app.h"
#include "framework/about_dialog.h"
#include "framework/text.h"
#include "resources/resource_ids.h"
#include "setup_ui/compositor.h"
#include "setup_ui/skin_images.h"
#include "setup_ui/terms_dialog.h"

namespace {

const UINT_PTR kTermsPageTimer = 2001;
const UINT_PTR kUpdateStartTimer = 2003;
const UINT kSuiteQuitRequest = 10652;
const int kFirstLabel = 1001;
const int kFirstButton = 1201;
const char* const kCaption = "Velmora 2.0 설치";

struct Place {
    int id, x, y;
};

// Where each skin control stands; its size is its image's.
const Place kPlaces[] = {
    {1001, 0, 0},    {1002, 26, 79},  {1003, 0, 0},    {1004, 0, 0},    {1005, 18, 100}, {1006, 18, 100},
    {1007, 18, 100}, {1008, 18, 100}, {1009, 18, 100}, {1010, 18, 100}, {1011, 18, 100}, {1012, 18, 100},
    {1013, 18, 100}, {1014, 0, 0},    {1201, 180, 225}, {1202, 286, 223}, {1203, 358, 223}, {1204, 25, 231},
    {1205, 25, 231},
};

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
    {WM_COMMAND, 1200, 1205, &SetupDialog::OnCommand},
    {WM_DOWNLOAD_PROGRESS, 0, 0, &SetupDialog::OnDownloadProgress},
    {WM_DOWNLOAD_DONE, 0, 0, &SetupDialog::OnDownloadDone},
};

SetupDialog::SetupDialog(HWND parent)
    : Dialog(IDD_SETUP, parent),
      icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM))),
      cancelEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

SetupDialog::~SetupDialog() {
    DestroyWindow();
    if (workerThread) {
        // Never leave a transfer writing into a job block that is going away.
        SetEvent(cancelEvent);
        WaitForSingleObject(workerThread, 30000);
        CloseHandle(workerThread);
    }
    CloseHandle(cancelEvent);
}

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
    SetupApp& app = SetupApp::Get();
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (app.setupMode == 0 || app.setupMode == 1) {
        SkinSize base = LoadBaseImage(hwnd_);
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
        SetZOrderMode(hwnd_, 0);
        SetTimer(hwnd_, kTermsPageTimer, 10, nullptr);
    } else if (app.setupMode == 2) {
        CreateSkinControls();
        InvalidateRect(hwnd_, nullptr, TRUE);
        SendQuitRequestToSuite();
        SetTimer(hwnd_, kUpdateStartTimer, 10, nullptr);
    }
    return TRUE;
}

void SetupDialog::SendQuitRequestToSuite() {
    HWND suite = FindWindowA("Cubelet", nullptr);
    if (suite) SendMessageA(suite, kSuiteQuitRequest, 0, 0);
}

void SetupDialog::CreateSkinControls() {
    for (int i = 0; i < labelCount; ++i) {
        int id = kFirstLabel + i;
        labels.push_back(std::unique_ptr<SkinLabel>(new SkinLabel()));
        const Place* place = FindPlace(id);
        if (!place) continue;
        SkinSize size = GetSkinImageSize(text::Format("#%d", id).c_str(), "MAINS");
        labels.back()->Create(id, place->x, place->y, size.width, size.height, hwnd_);
    }
    for (int i = 0; i < buttonCount; ++i) {
        int id = kFirstButton + i;
        buttons.push_back(std::unique_ptr<SkinButton>(new SkinButton()));
        const Place* place = FindPlace(id);
        if (!place) continue;
        SkinSize size = GetSkinImageSize(text::Format("#%d", id).c_str(), "MAINB");
        buttons.back()->Create(id, place->x, place->y, size.width, size.height, hwnd_);
    }
    controlsCreated = 1;
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
    SetupApp& app = SetupApp::Get();
    if (app.setupMode == 2) return;
    if (!controlsCreated) {
        BeginFrame(frameWidth, frameHeight);
        PushLayeredFrame(hwnd_, app.windowAlpha, frameWidth, frameHeight);
        return;
    }
    if (dragging) {
        // The hidden terms window travels as a picture drawn onto the last frame.
        if (termsWindow && termsWindow->snapshot && app.compositeImage) {
            Gdiplus::Graphics graphics(app.compositeImage);
            graphics.DrawImage(termsWindow->snapshot, 25, 90);
        }
        PushLayeredFrame(hwnd_, app.windowAlpha, frameWidth, frameHeight);
        return;
    }
    BeginFrame(frameWidth, frameHeight);
    auto draw = [](const SkinControl* control) {
        if (auto* label = dynamic_cast<const SkinLabel*>(control)) label->Draw();
        if (auto* button = dynamic_cast<const SkinButton*>(control)) button->Draw();
    };
    if (stepCounter == 0) {
        draw(Label(1001));
        draw(Label(1003));
        draw(Button(kStartButton));
        draw(Button(kDeclineButton));
        draw(Button(termsAccepted ? kBoxOn : kBoxOff));
    } else if (stepCounter >= 1 && stepCounter <= 9) {
        draw(Label(1004));
        if (SkinLabel* fill = Label(1002)) fill->DrawStretched(stepCounter == 9 ? 400 : 40 * stepCounter);
        draw(Label(1004 + stepCounter));
    } else {
        draw(Label(1014));
        draw(Button(kFinishButton));
    }
    PushLayeredFrame(hwnd_, app.windowAlpha, frameWidth, frameHeight);
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

void SetupDialog::DestroyTermsWindow() {
    if (!termsWindow) return;
    TermsDialog* terms = termsWindow;
    termsWindow = nullptr;
    ShowWindow(terms->GetSafeHwnd(), SW_HIDE);
    delete terms;
}

bool SetupDialog::OnTimer(WPARAM id, LPARAM, LRESULT&) {
    SetupApp& app = SetupApp::Get();
    if (id == kTermsPageTimer) {
        KillTimer(hwnd_, kTermsPageTimer);
        ShowButton(kFinishButton, false);
        ShowButton(kStartButton, true);
        ShowButton(kDeclineButton, true);
        ShowButton(kBoxOff, true);
        ShowButton(kBoxOn, false);
        if (!termsWindow) {
            RECT rect = WindowRect(hwnd_);
            termsWindow = new TermsDialog(nullptr);
            termsWindow->Create(hwnd_);
            termsWindow->FillAndPlace(rect.left + 25, rect.top + 90, 405, 130);
        }
    } else if (id == kCompletionTimer) {
        if (stepCounter < 10) {
            ++stepCounter;
            InvalidateRect(hwnd_, nullptr, TRUE);
        } else {
            KillTimer(hwnd_, kCompletionTimer);
            completionTimer = 0;
            ShowButton(kStartButton, false);
            ShowButton(kDeclineButton, false);
        }
    } else if (id == kUpdateStartTimer) {
        KillTimer(hwnd_, kUpdateStartTimer);
        StartDownload(app.downloadUrl);
    }
    return false;
}

bool SetupDialog::OnSystemCommand(WPARAM id, LPARAM, LRESULT& result) {
    if ((id & 0xFFF0) == 0x10) {
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
        dragging = 1;
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
    RECT rect = WindowRect(hwnd_);
    dragging = 0;
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (termsWindow) termsWindow->PlaceAt(rect.left + 25, rect.top + 90, 405, 130);
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

bool SetupDialog::OnDownloadProgress(WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    return true;
}

void SetupDialog::Fail(const char* message) {
    MessageBoxA(hwnd_, message, kCaption, MB_OK | MB_ICONERROR);
    OnCancel();
}

bool SetupDialog::OnCommand(WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    SetupApp& app = SetupApp::Get();
    switch (LOWORD(wParam)) {
        case static_cast<int>(InstallVariant::Update):
            RunInstallSequence(InstallVariant::Update);
            break;
        case kFinishButton:
            // Live but not drawn from the start of the download: before the package
            // is unpacked there is nothing to install, so a click does nothing.
            if (unpackCompleted) RunInstallSequence(InstallVariant::Fresh);
            break;
        case kStartButton:
            if (!termsAccepted) {
                MessageBoxA(hwnd_, "사용 약관에 동의 하신 후 Velmora 2.0 설치를 시작합니다.", "사용 약관 동의", MB_OK);
                break;
            }
            DestroyTermsWindow();
            ShowButton(kFinishButton, true);
            StartDownload(app.downloadUrl);
            break;
        case kDeclineButton:
            DestroyTermsWindow();
            WriteSetting(SettingKind::AxCancel, "", text::Trim(TodayAsDigits()));
            OnCancel();
            break;
        case kBoxOff:
            termsAccepted = 1;
            ShowButton(kBoxOff, false);
            ShowButton(kBoxOn, true);
            InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        case kBoxOn:
            termsAccepted = 0;
            ShowButton(kBoxOn, false);
            ShowButton(kBoxOff, true);
            InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        default:
            break;
    }
    return true;
}
