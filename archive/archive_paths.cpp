#include "archive/archive_paths.h"

#include "framework/file.h"
#include "framework/text.h"

namespace archive_paths {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

PathParts SplitPath(const std::string& path) {
    PathParts parts;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    size_t lastSeparator = std::string::npos;
    for (size_t i = start; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (text::IsLeadByte949(c) && i + 1 < path.size()) {
            ++i;  // a trail byte may look like a backslash
            continue;
        }
        if (IsSeparator(path[i])) lastSeparator = i;
    }
    size_t nameStart = start;
    if (lastSeparator != std::string::npos) {
        parts.directory = path.substr(start, lastSeparator + 1 - start);
        nameStart = lastSeparator + 1;
    }
    std::string rest = path.substr(nameStart);
    size_t dot = rest.rfind('.');
    if (dot != std::string::npos) {
        parts.fileName = rest.substr(0, dot);
        parts.extension = rest.substr(dot);
    } else {
        parts.fileName = rest;
    }
    return parts;
}

bool ClimbsOut(const std::string& name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        std::string component = name.substr(start, end - start);
        bool hasDot = false, onlyDotsAndBlanks = !component.empty();
        for (char c : component) {
            if (c == '.') hasDot = true;
            else if (c != ' ') onlyDotsAndBlanks = false;
        }
        if (onlyDotsAndBlanks && hasDot && component != ".") return true;
        start = end + 1;
    }
    return false;
}

std::string StripTrailingSeparators(const std::string& path) {
    size_t n = path.size();
    while (n > 0 && IsSeparator(path[n - 1])) --n;
    return path.substr(0, n);
}

bool CreateFolderChain(const std::string& requested) {
    std::string path = StripTrailingSeparators(requested);
    PathParts parts = SplitPath(path);
    std::string parent = parts.drive + parts.directory;
    if (text::MbsCompare(parent, path) == 0 || file_system::IsFolder(path)) return true;
    if (!CreateFolderChain(parent)) return false;
    return file_system::CreateFolder(path) || file_system::IsFolder(path);
}

}  // namespace archive_paths
