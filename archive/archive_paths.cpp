#include "archive/archive_paths.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "framework/file.h"
#include "framework/reserved_names.h"
#include "framework/text.h"

namespace archive_paths {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLeadByte(unsigned char c, NameEncoding encoding) {
    if (encoding == NameEncoding::Utf8) return false;  // no UTF-8 byte of a character looks like ASCII
#if defined(_WIN32)
    return IsDBCSLeadByte(c) != 0;
#else
    return text::IsLeadByte949(c);
#endif
}

// Calls `visit` with each component of `name`, separated by either slash; a trail
// byte is never taken for a separator.
template <typename Visit>
bool AnyComponent(const std::string& name, NameEncoding encoding, Visit visit) {
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && IsLeadByte(static_cast<unsigned char>(name[i]), encoding) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (i == name.size() || IsSeparator(name[i])) {
            if (visit(name.substr(start, i - start))) return true;
            start = i + 1;
        }
    }
    return false;
}

size_t ComponentLength(const std::string& component, NameEncoding encoding) {
#if defined(_WIN32)
    // NTFS counts UTF-16 units, and a double-byte character is one of them.
    if (encoding == NameEncoding::SystemCodePage && !component.empty())
        return static_cast<size_t>(
            MultiByteToWideChar(CP_ACP, 0, component.data(), static_cast<int>(component.size()), nullptr, 0));
#endif
    (void)encoding;
    return component.size();
}

}  // namespace

NameEncoding HeldEncoding(bool storedAsUtf8) {
#if defined(_WIN32)
    (void)storedAsUtf8;
    return NameEncoding::SystemCodePage;
#else
    return storedAsUtf8 ? NameEncoding::Utf8 : NameEncoding::SystemCodePage;
#endif
}

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        unsigned long code;
        if (c >= 0xC2 && c <= 0xDF) length = 2, code = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) length = 3, code = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) length = 4, code = c & 0x07;
        else return false;  // a continuation byte, an overlong lead (C0, C1) or beyond F4
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool ConvertStoredName(std::string& name, bool storedAsUtf8) {
    bool converted = true;
    if (!storedAsUtf8) {
        file_system::ConvertOemToAnsi(name);
    } else if (!IsValidUtf8(name)) {
        converted = false;
    } else {
#if defined(_WIN32)
        // Both directions report failure: an invalid sequence, or a character the
        // code page lacks. No best-fit mapping either, which could turn a look-alike
        // into a dot or a slash.
        std::wstring wide;
        if (!name.empty()) {
            int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                                        nullptr, 0);
            if (n <= 0) {
                converted = false;
            } else {
                wide.resize(static_cast<size_t>(n));
                MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                                    &wide[0], n);
            }
        }
        if (converted && !wide.empty()) {
            BOOL usedDefault = FALSE;
            int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, &usedDefault);
            std::string ansi(n > 0 ? static_cast<size_t>(n) : 0, '\0');
            if (n > 0)
                n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                        &ansi[0], n, nullptr, &usedDefault);
            if (n <= 0 || usedDefault)
                converted = false;
            else
                name = ansi;
        }
#endif
    }
    for (char& c : name)
        if (c == '/') c = '\\';
    return converted;
}

PathParts SplitPath(const std::string& path, NameEncoding encoding) {
    PathParts parts;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    size_t lastSeparator = std::string::npos;
    for (size_t i = start; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i]), encoding) && i + 1 < path.size()) {
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

bool NamesDevice(const std::string& name, NameEncoding encoding) {
    return AnyComponent(name, encoding,
                        [encoding](const std::string& component) { return reserved_names::IsDeviceName(component, encoding); });
}

bool HasOverlongComponent(const std::string& name, NameEncoding encoding) {
    return AnyComponent(name, encoding, [encoding](const std::string& component) {
        return ComponentLength(component, encoding) > kMaxComponentLength;
    });
}

NameRefusal CheckName(const std::string& name, NameEncoding encoding) {
    if (name.find('\0') != std::string::npos) return NameRefusal::ZeroByte;
    if (ClimbsOut(name)) return NameRefusal::ClimbsOut;
    if (NamesDevice(name, encoding)) return NameRefusal::DeviceName;
    if (HasOverlongComponent(name, encoding)) return NameRefusal::OverlongComponent;
    return NameRefusal::None;
}

std::string StripTrailingSeparators(const std::string& path) {
    size_t n = path.size();
    while (n > 0 && IsSeparator(path[n - 1])) --n;
    return path.substr(0, n);
}

bool IsOnlyCurrentFolder(const std::string& name) {
    return !AnyComponent(name, NameEncoding::Utf8,
                         [](const std::string& component) { return !component.empty() && component != "."; });
}

bool CreateFolderChain(const std::string& requested, NameEncoding encoding) {
    std::string path = StripTrailingSeparators(requested);
    PathParts parts = SplitPath(path, encoding);
    std::string parent = parts.drive + parts.directory;
    if (text::MbsCompare(parent, path) == 0 || file_system::IsFolder(path)) return true;
    if (!CreateFolderChain(parent, encoding)) return false;
    return file_system::CreateFolder(path) || file_system::IsFolder(path);
}

}  // namespace archive_paths
