#include "app/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "framework/text.h"

#include <vector>

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

namespace {

// The shell's folder for `csidl`, long and short (8.3) form; both empty when the
// shell has none, the short one when the volume makes none or the long one converts
// as it is (Program Files is read at every start: the disk is not asked for a form
// that would not be taken).
struct ShellForms {
    std::u16string longForm;
    std::u16string shortForm;
};

ShellForms FormsOf(int csidl, bool create) {
    ShellForms forms;
    wchar_t folder[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, folder, csidl, create ? TRUE : FALSE)) return forms;
    forms.longForm = reinterpret_cast<const char16_t*>(folder);
    std::string converted;
    if (ToCodePage(forms.longForm, converted)) return forms;
    wchar_t shortForm[MAX_PATH] = L"";
    DWORD length = GetShortPathNameW(folder, shortForm, MAX_PATH);
    if (length > 0 && length < MAX_PATH) forms.shortForm = reinterpret_cast<const char16_t*>(shortForm);
    return forms;
}

// The shell's path for `csidl` in a form the code page holds, "" when it has none:
// a path with '?' in it would name no folder or another.
std::string ShellPath(int csidl) {
    ShellForms forms = FormsOf(csidl, false);
    return install_root::FormTheCodePageHolds(forms.longForm, forms.shortForm, ToCodePage);
}

}  // namespace

std::string ProgramFilesRoot() { return install_paths::CleanShellPath(ShellPath(CSIDL_PROGRAM_FILES)); }

install_root::PerUserChoice PerUserInstallRoot() {
    ShellForms forms = FormsOf(CSIDL_LOCAL_APPDATA, true);
    return install_root::PerUserRoot(forms.longForm, forms.shortForm, ToCodePage);
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
    // The per-user root ("...\Local\Programs") is not there on a profile where
    // nothing was installed per user before.
    CreateDirectoryA(installRoot.c_str(), nullptr);
    for (const std::string& folder : install_paths::SharedFolders(installRoot)) CreateDirectoryA(folder.c_str(), nullptr);
}
