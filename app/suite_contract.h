// What the installer, the uninstaller and the suite itself agree on. Each of these
// names is read by a program that this one does not ship with (an older installer,
// a newer suite, the uninstaller left by an earlier version), so none may change.
#pragma once

namespace suite {

// Sent to the suite's main window, both parameters 0: please quit now.
constexpr unsigned kQuitRequest = 10652;
// The suite's main window class, and its main executable in the version's BIN folder.
constexpr char kWindowClass[] = "Cubelet";
constexpr char kMainProgram[] = "Cubelet.exe";

// The launcher's program name (without ".exe") and its setup window's class: a
// second start looks for both to hand over to a copy already running.
constexpr char kLauncherName[] = "InitVL2";
constexpr char kLauncherWindowClass[] = "InitVL2";

// Registry: the suite's settings and install record live under the product key.
constexpr char kCompanyKey[] = "Software\\CORVALEN";
constexpr char kProductKey[] = "Software\\CORVALEN\\VELMORA2";
constexpr char kInfoKey[] = "Software\\CORVALEN\\VELMORA2\\INFO";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kAutoRunValue[] = "Velmora2";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2";
constexpr char kDeclineValue[] = "VL2AXCANCEL";

// Shortcuts: the Start menu folder, the one name every shortcut has, the Quick
// Launch folder below Application Data, and the name that version 1 used there.
constexpr char kStartMenuFolder[] = "Corvalen";
constexpr char kShortcutName[] = "Velmora2.lnk";
constexpr char kShortcutDescription[] = "Velmora2";
constexpr char kQuickLaunchFolder[] = "Microsoft\\Internet Explorer\\Quick Launch";
constexpr char kOldQuickLaunchShortcutName[] = "Velmora.lnk";

}  // namespace suite
