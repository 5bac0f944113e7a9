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

struct StoredValue {
    bool keyPresent = false;
    bool present = false;
    DWORD type = 0;
    std::string bytes;
};

// The text of a value up to its terminating zero. Wine's query calls add a zero to
// the count of a text stored without one, so the exact stored byte count is
// checked from the registry files by the start-up tests instead.
inline StoredValue Query(HKEY root, const char* key, const char* name) {
    StoredValue value;
    HKEY h;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return value;
    value.keyPresent = true;
    wchar_t wideName[256];
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 256);
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(h, wideName, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &size) ==
        ERROR_SUCCESS) {
        value.present = true;
        char ansi[2048];
        int n = WideCharToMultiByte(CP_ACP, 0, buffer, static_cast<int>(size / sizeof(wchar_t)), ansi,
                                    sizeof(ansi), nullptr, nullptr);
        value.bytes.assign(ansi, n > 0 ? n : 0);
        value.bytes = value.bytes.c_str();
    }
    RegCloseKey(h);
    return value;
}

}  // namespace test_support
