// The setup window: the program's only main window and the spine of an install.
// A borderless 454x304 picture composed from skins, with four pages (terms,
// progress with a slideshow, completion), the timers that drive the run and the
// download worker's messages. The work itself (download, unpacking, the install
// sequence) is done by code that knows nothing of windows; this class decides what
// the user sees. In update mode it is never drawn and the run needs no input.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/startup_findings.h"
#include "archive/archive_reader.h"
#include "framework/dialog.h"
#include "install/install_sequence.h"
#include "net/download_worker.h"
#include "setup_ui/compositor.h"
#include "setup_ui/setup_layout.h"
#include "setup_ui/skin_controls.h"

class TermsDialog;

class SetupDialog : public Dialog {
 public:
    // `user32Module` is where the layered-window functions are looked up.
    SetupDialog(HWND parent, const StartupFindings& findings, HMODULE user32Module);
    ~SetupDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // Starts the package download, or asks a running one to stop.
    BOOL StartDownload(const std::string& url);
    void UnpackPackage();
    void RunInstallSequence(install::InstallVariant variant);

    const StartupFindings findings;
    SkinFrame frame;
    TermsDialog* termsWindow = nullptr;
    int frameWidth = 0;
    int frameHeight = 0;
    ArchiveReader archive;
    std::string packagePath;
    HICON icon;
    bool controlsCreated = false;
    std::vector<std::unique_ptr<SkinLabel>> labels;
    std::vector<std::unique_ptr<SkinButton>> buttons;
    bool dragging = false;
    int dragStartX = 0;
    int dragStartY = 0;
    UINT_PTR completionTimer = 0;
    // The page and the progress step: see setup_layout::PageForStep.
    int stepCounter = 0;
    bool termsAccepted = false;
    DownloadWorker download;
    // Finish acts only once the package has been unpacked into the version folder.
    bool unpackCompleted = false;
    // Set while a stop that this window asked for is on its way to the worker.
    bool cancelRequested = false;
    // Where the running download writes, and when it last made progress.
    std::string downloadTarget;
    DWORD lastDownloadActivity = 0;
    unsigned lastDownloadBytes = 0;
    // The byte counts of the worker's latest data report (total 0: unknown), and
    // the furthest display they have reached so far.
    unsigned receivedBytes = 0;
    unsigned totalBytes = 0;
    setup_layout::ProgressDisplay downloadReached = setup_layout::kNothingShown;
    // Set once the terms are accepted: from then on the terms page's buttons are
    // hidden and do nothing, whatever input still reaches them.
    bool startAccepted = false;
    // Set while the package is unpacked; the window handles its messages between
    // entries, and no command may act under the unpacking.
    bool unpacking = false;

 protected:
    void OnCreate() override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
    bool IsFreshInstall() const { return !findings.IsUpdate(); }
    void CreateSkinControls();
    void PaintPage();
    void NextStep();
    void SendQuitRequestToSuite();
    void ShowButton(int id, bool show);
    SkinLabel* Label(int id) const;
    SkinButton* Button(int id) const;
    void OpenTermsWindow();
    // Moves the terms window over the terms page's text area, where this window now stands.
    void PlaceTermsWindow();
    // Puts the terms window back over this window where it belongs.
    void RestoreTermsWindow();
    void DestroyTermsWindow();
    void Fail(const char* message);
    // Ends a run whose install cannot complete, recording nothing new: an update
    // starts the installed suite again without a word, a fresh install says why.
    void AbandonInstall(const char* message);
    void WatchDownload();
    // The progress page's display: the step's, or the download's when it lies further.
    setup_layout::ProgressDisplay ShownProgress() const;
    // Takes in the latest byte counts; repaints only when the display changes.
    void ShowDownloadProgress();
    // After the download: the steps go on from whichever lies further, the
    // counter's or the display the bytes reached.
    void ContinueStepsFromDownload();
    // Waits while handling the thread's pending messages, so that the window
    // repaints and answers the system during long work on its own thread.
    void PauseHandlingMessages(DWORD milliseconds);
    void ReportShortcutFailure(const install::ShortcutResult& result);

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
    bool OnDownloadProgress(WPARAM, LPARAM, LRESULT& result);
    bool OnDownloadDone(WPARAM, LPARAM, LRESULT& result);
    static const MessageEntry<SetupDialog> kMessageMap[];
};
