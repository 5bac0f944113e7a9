// Deleting a folder tree and testing for a file at an exact path. Used to prune old
// version folders and by the uninstaller.
#pragma once

#include <string>
#include <vector>

// Deletes `path` with everything below it, read-only and hidden items included.
// Returns 0, touching nothing, for a path shorter than 10 characters (so drive
// roots and other short paths are never emptied), else 1, whatever could not be
// removed. Links (junctions, symbolic links) are removed themselves and never
// followed, and entries whose paths the ANSI file calls cannot hold are left.
int RemoveFolderTree(const std::string& path);

// What one pass of folder removal left: each file or link it could not delete, and
// each folder it could not remove although nothing inside it was left (one it could
// not list, say). `held` when any of these failed as a file that another process
// holds fails (framework/file_retry), so that the caller may pass again later.
struct FolderLeftovers {
    std::vector<std::string> paths;
    bool held = false;
};

// One pass of RemoveFolderTree that says what stayed. A refused short path is left
// whole; a missing folder leaves nothing.
FolderLeftovers RemoveFolderTreeSayingWhatStays(const std::string& path);

// True when a file (not a folder) exists with exactly this path, letter case included.
bool FileExists(const std::string& path);
