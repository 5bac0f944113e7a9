// The setup window: the program's only main window and the spine of an install.
// A borderless 454x304 picture composed from skins, with four pages (terms,
// progress with a slideshow, completion), the timers that drive the run, the
// download worker's messages, the unpacking driver and the install sequence.
// In update mode it is never drawn and the run needs no input.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "framework/dialog.h"
#include "net/download_worker.h"
#include "setup_ui/skin_controls.h"

class TermsDialog;

enum class InstallVariant { Update = 1200, Fresh = 1201 };

class SetupDialog : public Dialog {
 public:
    static const int kStartButton = 1202;
    static const int kDeclineButton = 1203;
    static const int kFinishButton = 1201;
    static const int kBoxOff = 1204;
    static const int kBoxOn = 1205;
    // Counts the progress up to the completion page after unpacking.
    static const UINT_PTR kCompletionTimer = 2002;

    explicit SetupDialog(HWND parent);
    ~SetupDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // Starts the package download, or asks a running one to stop.
    BOOL StartDownload(const std::string& url);
    void UnpackPackage();
    void RunInstallSequence(InstallVariant variant);
    // Writes one shell shortcut; reports failures in message boxes of its own.
    HRESULT CreateShortcut(const std::string& targetPath, const std::string& linkPath,
                           const std::string& description);
    void PruneOldVersions();

    TermsDialog* termsWindow = nullptr;
    int frameWidth = 0;
    int frameHeight = 0;
    ArchiveReader archive;
    std::string packagePath;
    HICON icon;
    int controlsCreated = 0;
    int labelCount = 14;
    std::vector<std::unique_ptr<SkinLabel>> labels;
    int buttonCount = 5;
    std::vector<std::unique_ptr<SkinButton>> buttons;
    int dragging = 0;
    int dragStartX = 0;
    int dragStartY = 0;
    UINT_PTR completionTimer = 0;
    int stepCounter = 0;
    int termsAccepted = 0;
    HANDLE workerThread = nullptr;
    HANDLE cancelEvent;
    DownloadJob job;
    // Finish acts only once the package has been unpacked into the version folder.
    bool unpackCompleted = false;
    // Set while a stop that this window asked for is on its way to the worker.
    bool cancelRequested = false;

 protected:
    void OnCreate() override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
    void CreateSkinControls();
    void PaintPage();
    void SendQuitRequestToSuite();
    void ShowButton(int id, bool show);
    SkinLabel* Label(int id) const;
    SkinButton* Button(int id) const;
    void DestroyTermsWindow();
    void Fail(const char* message);

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
