#include "uninstaller/temp_copy.h"

#include <windows.h>

#include <string>

#include "framework/scoped.h"
#include "framework/text.h"

namespace {

// The copies' names: "VL2Del-<process id>.exe", unique among the copies running.
const char* const kCopyPattern = "VL2Del-*.exe";

// A copy whose file outlived it (a crash, or a Windows that would not delete the file
// at its last close): removed at the next start. One still running cannot be deleted
// and keeps its file.
void RemoveEarlierCopies(const std::string& temp) {
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA((temp + kCopyPattern).c_str(), &found));
    if (!search) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((temp + found.cFileName).c_str());
    } while (FindNextFileA(search.Get(), &found));
}

}  // namespace

bool StartCopyInTemp() {
    char self[MAX_PATH] = "";
    char temp[MAX_PATH] = "";
    DWORD selfLength = GetModuleFileNameA(nullptr, self, MAX_PATH);
    DWORD tempLength = GetTempPathA(MAX_PATH, temp);
    if (selfLength == 0 || selfLength >= MAX_PATH || tempLength == 0 || tempLength >= MAX_PATH) return false;
    std::string folder = temp;
    RemoveEarlierCopies(folder);
    std::string copy = folder + text::Format("VL2Del-%lu.exe", GetCurrentProcessId());
    if (copy.size() >= MAX_PATH || !CopyFileA(self, copy.c_str(), FALSE)) return false;

    // The copy's file goes when the last handle on it closes: this one, opened to
    // delete on close and inherited by the copy, closes when the copy ends. Reading
    // and deleting stay shared, so that Windows can still map the file to run it.
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    ScopedFileHandle deleteOnClose(CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                               &inherited, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    // Quoted, both: the original's path usually holds a blank ("C:\Program Files\...",
    // a user name with one), and the copy's may.
    std::string command = "\"" + copy + "\" \"" + self + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // Started in TEMP: a working folder inside the Corvalen folder would keep Windows
    // from removing that folder while the copy runs.
    if (!CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, folder.c_str(),
                        &startup, &process)) {
        if (!deleteOnClose) DeleteFileA(copy.c_str());
        return false;
    }
    // This program was started by the window the user clicked in and may bring its
    // own window forward; it has none, so it hands that right to the copy, whose
    // confirmation would otherwise open behind that window. Before the copy runs,
    // so that its first box already has it.
    AllowSetForegroundWindow(process.dwProcessId);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
