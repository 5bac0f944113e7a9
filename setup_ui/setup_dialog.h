// The setup window of a fresh install: a borderless 454x304 picture composed from
// skins, with the terms page, the progress page and its slideshow, and the
// completion page. It draws where the install run stands and forwards the user's
// answers to it; the run's work goes on in the runner's threads, never here. An
// update has no window.
#pragma once

#include <windows.h>

#include "framework/dialog.h"
#include "install/setup_runner.h"
#include "setup_ui/compositor.h"
#include "setup_ui/setup_layout.h"
#include "setup_ui/setup_controls.h"

class TermsDialog;

class SetupDialog : public Dialog {
 public:
    // `user32Module` is where the layered-window functions are looked up.
    SetupDialog(install::SetupRunner& runner, HMODULE user32Module);
    ~SetupDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;

 protected:
    void OnCreate() override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
    void PaintPage();
    // The page that shows where the run stands, and the progress on it.
    setup_layout::SetupPage PageNow() const;
    // Repaints when the run's page or progress moved; ends the window with the run.
    void ShowRun();
    // Says what the run left to say, then closes the window, which ends the program.
    void EndRun();
    void OpenTermsWindow();
    // Moves the terms window over the terms page's text area, where this window now stands.
    void PlaceTermsWindow();
    // Puts the terms window back over this window where it belongs.
    void RestoreTermsWindow();
    void DestroyTermsWindow();
    void StartAccepted();
    void SetTicked(bool ticked);

    bool OnEraseBackground(WPARAM, LPARAM, LRESULT& result);
    bool OnPaint(WPARAM, LPARAM, LRESULT& result);
    bool OnTimer(WPARAM id, LPARAM, LRESULT& result);
    bool OnSystemCommand(WPARAM id, LPARAM, LRESULT& result);
    bool OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result);
    bool OnLeftButtonDown(WPARAM, LPARAM point, LRESULT& result);
    bool OnLeftButtonUp(WPARAM, LPARAM point, LRESULT& result);
    bool OnMouseMove(WPARAM keys, LPARAM point, LRESULT& result);
    bool OnDestroy(WPARAM, LPARAM, LRESULT& result);
    bool OnCommand(WPARAM id, LPARAM, LRESULT& result);
    static const MessageEntry<SetupDialog> kMessageMap[];

    install::SetupRunner& runner_;
    SkinFrame frame_;
    HICON icon_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    SetupControls controls_;
    TermsDialog* termsWindow_ = nullptr;
    bool termsTicked_ = false;
    bool dragging_ = false;
    POINT dragStart_ = {0, 0};
    // While the about box is open the run waits: its end would close this window
    // under the box.
    bool aboutOpen_ = false;
    // What the window last drew, and when the version folder was seen whole.
    setup_layout::SetupPage shownPage_ = setup_layout::SetupPage::Terms;
    install::ProgressDisplay shownProgress_ = install::kNothingShown;
    DWORD wholeSince_ = 0;
    bool ended_ = false;
};
