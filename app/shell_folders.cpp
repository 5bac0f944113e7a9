#include "app/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "framework/text.h"

#include <vector>

namespace {

// The shell's path for `csidl` as it gives it, "" when it has none.
std::string ShellPath(int csidl) {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) buffer[0] = '\0';
    return buffer;
}

}  // namespace

std::string ProgramFilesRoot() { return install_paths::CleanShellPath(ShellPath(CSIDL_PROGRAM_FILES)); }

bool ToCodePage(const std::u16string& wide, std::string& narrow) {
    const wchar_t* source = reinterpret_cast<const wchar_t*>(wide.c_str());
    BOOL usedDefault = FALSE;
    // No best fit: "é" must not quietly become "e" and name another folder.
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, source, -1, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    std::vector<char> buffer(size);
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, source, -1, buffer.data(), size, nullptr, &usedDefault) ||
        usedDefault)
        return false;
    narrow = buffer.data();
    return true;
}

install_root::PerUserChoice PerUserInstallRoot() {
    wchar_t folder[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE)) folder[0] = L'\0';
    wchar_t shortForm[MAX_PATH] = L"";
    DWORD length = folder[0] ? GetShortPathNameW(folder, shortForm, MAX_PATH) : 0;
    if (length == 0 || length >= MAX_PATH) shortForm[0] = L'\0';
    return install_root::PerUserRoot(reinterpret_cast<const char16_t*>(folder),
                                     reinterpret_cast<const char16_t*>(shortForm), ToCodePage);
}

bool CanWriteIn(const std::string& folder) {
    std::string probe = folder + "\\~write-check.tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string ShellFolder(int csidl) { return text::TrimRight(text::TrimRightAny(ShellPath(csidl), "\\")); }

void CreateProductFolders(const std::string& installRoot) {
    // The per-user root ("...\\Local\\Programs") is not there on a profile where
    // nothing was installed per user before.
    CreateDirectoryA(installRoot.c_str(), nullptr);
    for (const std::string& folder : install_paths::SharedFolders(installRoot)) CreateDirectoryA(folder.c_str(), nullptr);
}
