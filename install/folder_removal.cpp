#include "install/folder_removal.h"

#include <windows.h>

#include "framework/scoped.h"
#include "framework/text.h"

namespace {

const DWORD kReadOnlyOrHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

bool EndsWithBackslash(const std::string& path) { return !path.empty() && path.back() == '\\'; }

std::string Join(const std::string& folder, const char* name) {
    return EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
}

void RemoveChildren(const std::string& path) {
    std::string pattern = EndsWithBackslash(path) ? path + "*.*" : path + "\\*.*";
    if (pattern.size() >= MAX_PATH) return;
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string child = Join(path, found.cFileName);
        if (child.size() >= MAX_PATH) continue;  // beyond what these calls can address
        DWORD attributes = found.dwFileAttributes;
        bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (attributes & kReadOnlyOrHidden) SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A junction or symbolic link: remove the link, never what it points at.
            if (isFolder)
                RemoveDirectoryA(child.c_str());
            else
                DeleteFileA(child.c_str());
        } else if (isFolder) {
            RemoveChildren(child);
            RemoveDirectoryA(child.c_str());
        } else {
            DeleteFileA(child.c_str());
        }
    } while (FindNextFileA(search.Get(), &found));
}

}  // namespace

int RemoveFolderTree(const std::string& path) {
    if (path.size() < 10) return 0;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveChildren(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
    return 1;
}

bool FileExists(const std::string& path) {
    std::string pattern = path + "*";
    size_t slash = path.rfind('\\');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return false;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (text::MbsCompare(folder + name, path) == 0) return true;
    } while (FindNextFileA(search.Get(), &found));
    return false;
}
