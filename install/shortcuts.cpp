#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "framework/scoped.h"

namespace install {

ShortcutResult CreateShortcut(const std::string& targetPath, const std::string& workingFolder,
                              const std::string& linkPath, const std::string& description) {
    ShortcutResult outcome;
    ScopedCom com;
    ComPtr<IShellLinkA> link;
    if (FAILED(com::CreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.ReceiveVoid()))) {
        outcome.classNotRegistered = true;
        outcome.result = REGDB_E_CLASSNOTREG;
        return outcome;
    }
    ComPtr<IPersistFile> file;
    outcome.result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (FAILED(outcome.result)) return outcome;
    outcome.pathNotSet = FAILED(link->SetPath(targetPath.c_str()));
    outcome.descriptionNotSet = FAILED(link->SetDescription(description.c_str()));
    // Where the program starts: its own folder, as when it is started from Explorer.
    outcome.pathNotSet = outcome.pathNotSet || FAILED(link->SetWorkingDirectory(workingFolder.c_str()));
    wchar_t widePath[MAX_PATH] = L"";
    // Too long for a shell path: the save fails and says so.
    if (!MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH)) widePath[0] = L'\0';
    outcome.result = widePath[0] ? file->Save(widePath, TRUE) : E_INVALIDARG;
    outcome.notSaved = FAILED(outcome.result);
    return outcome;
}

ShortcutFields ReadShortcut(const std::string& linkPath) {
    ShortcutFields fields;
    if (GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES) return fields;
    ScopedCom com;
    ComPtr<IShellLinkA> link;
    if (FAILED(com::CreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   link.ReceiveVoid())))
        return fields;
    ComPtr<IPersistFile> file;
    wchar_t widePath[MAX_PATH] = L"";
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
        !MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) ||
        FAILED(file->Load(widePath, STGM_READ)))
        return fields;
    char target[MAX_PATH] = "";
    // The raw path as stored: resolving it would search the disk for a moved target.
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return fields;
    char folder[MAX_PATH] = "";
    if (FAILED(link->GetWorkingDirectory(folder, MAX_PATH))) folder[0] = '\0';
    fields.target = target;
    fields.workingFolder = folder;
    return fields;
}

std::string ShortcutTarget(const std::string& linkPath) { return ReadShortcut(linkPath).target; }

ShortcutPlaces SuiteShortcutPlaces() {
    // A folder the shell cannot name in the code page gives no place at all, never
    // one at the root of the drive.
    auto below = [](int csidl, const std::string& rest) {
        std::string folder = ShellFolder(csidl);
        return folder.empty() ? std::string() : folder + "\\" + rest;
    };
    ShortcutPlaces places;
    places.startMenuFolder = below(CSIDL_PROGRAMS, suite::kStartMenuFolder);
    places.startMenu = below(CSIDL_PROGRAMS, std::string(suite::kStartMenuFolder) + "\\" + suite::kShortcutName);
    places.desktop = below(CSIDL_DESKTOP, suite::kShortcutName);
    std::string quickLaunch = std::string(suite::kQuickLaunchFolder) + "\\";
    places.quickLaunch = below(CSIDL_APPDATA, quickLaunch + suite::kShortcutName);
    places.oldQuickLaunch = below(CSIDL_APPDATA, quickLaunch + suite::kOldQuickLaunchShortcutName);
    return places;
}

}  // namespace install
