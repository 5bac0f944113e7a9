// Scratch folders and whole-file helpers for tests that run natively and under Wine.
#pragma once

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/file.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace scratch {

inline std::filesystem::path Native(const std::string& path) { return file_system::NativePath(path); }

// A new empty folder, removed again when the object goes.
class Folder {
 public:
    Folder() {
        static int counter = 0;
#if defined(_WIN32)
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "vl2-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
#else
        path_ = "/tmp/vl2-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
#endif
        std::error_code ignored;
        std::filesystem::remove_all(Native(path_), ignored);
        std::filesystem::create_directories(Native(path_));
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Native(path_), ignored);
    }
    // The folder's path joined with `name` by a backslash, as the reader joins them.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    const std::string& path() const { return path_; }

 private:
    std::string path_;
};

// The file attributes on Windows, the mode bits elsewhere: what a package could
// change on a folder without writing into it. -1 when the item is missing.
inline long AttributesOrMode(const std::filesystem::path& native) {
#if defined(_WIN32)
    DWORD attributes = GetFileAttributesW(native.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? -1 : static_cast<long>(attributes);
#else
    struct stat st;
    return lstat(native.c_str(), &st) == 0 ? static_cast<long>(st.st_mode) : -1;
#endif
}

inline long AttributesOrMode(const std::string& path) { return AttributesOrMode(Native(path)); }

inline void WriteBytes(const std::string& path, const std::string& data) {
    File f;
    f.Open(path, File::modeCreate | File::modeWrite);
    f.Write(data.data(), static_cast<unsigned>(data.size()));
    f.Close();
}

inline std::string ReadBytes(const std::string& path) {
    File f;
    f.Open(path, File::modeRead);
    std::string data(static_cast<size_t>(f.GetLength()), '\0');
    if (!data.empty()) f.Read(&data[0], static_cast<unsigned>(data.size()));
    return data;
}

inline bool IsFile(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(Native(path), ignored);
}

// Anything at all under that name: file, folder or link.
inline bool Exists(const std::string& path) { return AttributesOrMode(Native(path)) != -1; }

inline bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(Native(path), ignored);
}

inline time_t LastWriteTime(const std::string& path) {
#if defined(_WIN32)
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    return static_cast<time_t>(t.QuadPart / 10000000ULL - 11644473600ULL);
#else
    struct stat st;
    return stat(Native(path).c_str(), &st) == 0 ? st.st_mtime : 0;
#endif
}


// Everything in and under `root` but the subtree `skip` (itself included), one line
// each: relative path, attributes or mode, size and last-write time. Two listings
// are equal exactly when nothing there was created, removed or changed.
inline std::string Tree(const std::string& root, const std::string& skip = std::string()) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::path base = Native(root);
    fs::path left = skip.empty() ? fs::path() : Native(skip);
    auto describe = [&](const fs::path& item) {
        std::string line = item.lexically_relative(base).generic_u8string();
        line += " " + std::to_string(AttributesOrMode(item));
        if (fs::is_regular_file(item, ignored)) line += " " + std::to_string(fs::file_size(item, ignored));
        line += " " + std::to_string(fs::last_write_time(item, ignored).time_since_epoch().count());
        return line;
    };
    std::vector<std::string> lines{describe(base)};
    for (fs::recursive_directory_iterator it(base, ignored), end; it != end; it.increment(ignored)) {
        if (!left.empty() && it->path() == left) {
            it.disable_recursion_pending();
            continue;
        }
        lines.push_back(describe(it->path()));
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

inline void CreateFolder(const std::string& path) { std::filesystem::create_directories(Native(path)); }

}  // namespace scratch
