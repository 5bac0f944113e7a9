// The installer's application object. InitInstance decides, once and before any
// window is shown, what this run does: refuse, hand over to a running copy, start
// the installed suite, or open the setup window for a fresh install or an update.
// It stands above everything else: the window and the install code get what they
// need from it as values.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "initvl2/launch_timing.h"
#include "initvl2/startup_decision.h"
#include "framework/application.h"
#include "framework/scoped.h"
#include "framework/scoped_gdiplus.h"
#include "install/setup_runner.h"


class SetupApp : public Application {
 public:
    BOOL InitInstance() override;
    int ExitInstance() override;
    void Rescue() override;

    // What start-up found: the root of every install path, and the VERSION of the
    // installed suite ("" when nothing is installed).
    std::string installRoot;
    std::string installedVersion;
    int osClass = 9;  // not yet classified
    ScopedGdiplusToken gdiplusToken;
    ScopedModule user32Module;

 private:
    // Tests the connection and, when there is one, fetches the update manifest.
    // Waits for the answer no longer than the start's deadline before starting the
    // installed suite (when there is one), then for the rest of the request; `timing`
    // says when it came.
    startup_decision::ManifestAnswer AskForManifest(const startup_decision::LocalChoice& local,
                                                    UpdateManifest& manifest, startup_decision::AnswerTiming& timing);
    void LaunchInstalledSuite();
    startup_decision::OnDisk ReadOnDisk() const;
    void FinishSwitch(const std::string& version);
    void TellWhyNothingInstalls(const char* reason);
    void RunSetupWindow(install::SetupRunner& runner);
    void RunUpdate(install::SetupRunner& runner);
    bool socketsStarted_ = false;
    // A version whose suite did not start after the switch to it ("" for none).
    std::string failedVersion_;
    // What starting the installed suite starts, in order (ChooseOnDisk).
    std::vector<std::string> startable_;
    // Asked for by the start-up benchmark only; it counts from the program's start.
    LaunchTiming timing_;
};
