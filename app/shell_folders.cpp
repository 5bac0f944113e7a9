#include "app/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "framework/text.h"

namespace {

// The shell's path for `csidl` as it gives it, "" when it has none.
std::string ShellPath(int csidl) {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) buffer[0] = '\0';
    return buffer;
}

}  // namespace

std::string ResolveSpecialFolders() { return install_paths::CleanShellPath(ShellPath(CSIDL_PROGRAM_FILES)); }

std::string ShellFolder(int csidl) { return text::TrimRight(text::TrimRightAny(ShellPath(csidl), "\\")); }

void CreateProductFolders(const std::string& installRoot) {
    for (const std::string& folder : install_paths::SharedFolders(installRoot)) CreateDirectoryA(folder.c_str(), nullptr);
}
