// Helpers for the cases that run under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// A file of the build tree as Wine sees it (the Unix root is drive Z:).
inline std::string BuildFile(const char* name) {
    const char* dir = getenv("VL2_BUILD_DIR");
    std::string path = std::string("Z:") + (dir ? dir : "") + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::string ReadFile(const std::string& path) {
    std::string content;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD got;
    while (::ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(h);
    return content;
}

inline void WriteFile(const std::string& path, const std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &put, nullptr);
    CloseHandle(h);
}

// Waits until `path` holds text containing `needle`, up to `milliseconds`.
inline bool WaitForText(const std::string& path, const std::string& needle, int milliseconds) {
    for (int waited = 0; waited <= milliseconds; waited += 100) {
        if (ReadFile(path).find(needle) != std::string::npos) return true;
        Sleep(100);
    }
    return false;
}

}  // namespace test_support
