// Velmora2.exe: the one program every shortcut and the autostart value name. It lies
// beside the version folders and never changes with them, so that a shortcut the
// user pinned or copied keeps working after any number of updates. It starts the
// recorded version's InitVL2.exe with its own arguments and ends at once: the
// hand-over to a running copy, the single-instance rule and everything else stay
// InitVL2's, and no update ever has to replace a running launcher.
#include <windows.h>

#include <string>

#include "app/registry_store.h"
#include "app/suite_contract.h"
#include "framework/common_controls.h"
#include "install/version_pruning.h"

namespace {

std::string OwnFolder() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\'));
}

std::string LauncherOf(const std::string& folder, const std::string& version) {
    return folder + "\\" + version + "\\BIN\\" + suite::kLauncherName + ".exe";
}

// The arguments this program was given, with their leading blank: the command line
// without its first word, which names this program.
const char* Arguments(const char* commandLine) {
    const char* at = commandLine;
    if (*at == '"') {
        ++at;
        while (*at && *at != '"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != ' ' && *at != '\t') ++at;
    }
    return at;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string folder = OwnFolder();
    std::string version = install::VersionToLaunch(LoadInstallInfo(), install::FolderNamesIn(folder), [&](const std::string& name) {
        return GetFileAttributesA(LauncherOf(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    if (folder.empty() || version.empty()) {
        ShowMessageBox(nullptr, "Velmora 2.0 프로그램을 찾을 수 없습니다. Velmora 2.0을 다시 설치해 주십시오.", "Velmora 2.0",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    const std::string program = LauncherOf(folder, version);
    const std::string programFolder = program.substr(0, program.rfind('\\'));
    std::string commandLine = "\"" + program + "\"" + Arguments(GetCommandLineA());
    // The window the user clicked for may come to the front in the program started here.
    AllowSetForegroundWindow(ASFW_ANY);
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.cb = sizeof(startup);
    startup.lpReserved = nullptr;
    startup.lpTitle = nullptr;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(),
                        &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
