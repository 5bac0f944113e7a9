#include "install/folder_removal.h"

#include <windows.h>

#include "framework/file_retry.h"
#include "framework/scoped.h"
#include "framework/text.h"

namespace {

const DWORD kReadOnlyOrHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

bool EndsWithBackslash(const std::string& path) { return !path.empty() && path.back() == '\\'; }

std::string Join(const std::string& folder, const char* name) {
    return EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Notes `path` as left when the call that should have removed it failed for any
// reason but its being gone already.
void NoteFailure(FolderLeftovers* left, const std::string& path) {
    DWORD error = GetLastError();
    if (!left || IsGone(error)) return;
    left->paths.push_back(path);
    if (file_retry::IsHeld(error)) left->held = true;
}

// Removes a folder emptied by RemoveChildren; a folder that stays because something
// inside it stayed is not noted again, the things inside name it well enough.
void RemoveEmptiedFolder(const std::string& path, FolderLeftovers* left, size_t leftBefore) {
    if (RemoveDirectoryA(path.c_str())) return;
    DWORD error = GetLastError();
    if (left && left->paths.size() > leftBefore) return;
    SetLastError(error);
    NoteFailure(left, path);
}

void RemoveChildren(const std::string& path, FolderLeftovers* left) {
    std::string pattern = EndsWithBackslash(path) ? path + "*.*" : path + "\\*.*";
    if (pattern.size() >= MAX_PATH) return;
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string child = Join(path, found.cFileName);
        if (child.size() >= MAX_PATH) {  // beyond what these calls can address
            if (left) left->paths.push_back(child);
            continue;
        }
        DWORD attributes = found.dwFileAttributes;
        bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (attributes & kReadOnlyOrHidden) SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A junction or symbolic link: remove the link, never what it points at.
            if (!(isFolder ? RemoveDirectoryA(child.c_str()) : DeleteFileA(child.c_str()))) NoteFailure(left, child);
        } else if (isFolder) {
            size_t leftBefore = left ? left->paths.size() : 0;
            RemoveChildren(child, left);
            RemoveEmptiedFolder(child, left, leftBefore);
        } else if (!DeleteFileA(child.c_str())) {
            NoteFailure(left, child);
        }
    } while (FindNextFileA(search.Get(), &found));
}

// The one walk both forms share; `left` is null when nobody asks what stayed.
void RemoveTree(const std::string& path, FolderLeftovers* left) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && IsGone(GetLastError())) return;
    // A link is removed itself, never followed.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveChildren(path, left);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveEmptiedFolder(path, left, 0);
}

}  // namespace

int RemoveFolderTree(const std::string& path) {
    if (path.size() < 10) return 0;
    RemoveTree(path, nullptr);
    return 1;
}

FolderLeftovers RemoveFolderTreeSayingWhatStays(const std::string& path) {
    FolderLeftovers left;
    if (path.size() < 10)
        left.paths.push_back(path);
    else
        RemoveTree(path, &left);
    return left;
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
