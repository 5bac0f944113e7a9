#include "app/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "framework/text.h"

std::string ResolveSpecialFolders() {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE)) buffer[0] = '\0';
    return install_paths::CleanProgramFilesPath(buffer);
}

std::string ShellFolder(int csidl) {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) buffer[0] = '\0';
    return text::TrimRight(text::TrimRightAny(buffer, "\\"));
}

void CreateFolderTree(const std::string& programFilesPath, const std::string& version) {
    for (const std::string& folder : install_paths::FolderTree(programFilesPath, version))
        CreateDirectoryA(folder.c_str(), nullptr);
}
