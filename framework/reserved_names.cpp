#include "framework/reserved_names.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace reserved_names {

namespace {

// The superscript digits one, two and three, which Windows takes as device numbers.
bool IsSuperscriptDigit(const std::string& text, NameEncoding encoding) {
#if defined(_WIN32)
    if (encoding == NameEncoding::SystemCodePage) {
        wchar_t wide[2];
        int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, 2);
        return n == 1 && (wide[0] == 0x00B9 || wide[0] == 0x00B2 || wide[0] == 0x00B3);
    }
#endif
    static const char* const kUtf8[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
    static const char* const kCodePage949[] = {"\xA9\xF6", "\xA9\xF7", "\xA9\xF8"};
    const char* const* forms = encoding == NameEncoding::Utf8 ? kUtf8 : kCodePage949;
    for (int i = 0; i < 3; ++i)
        if (text == forms[i]) return true;
    return false;
}

}  // namespace

bool IsDeviceName(const std::string& component, NameEncoding encoding) {
    // Windows looks at the text before the first dot (or a stream's colon), without
    // the blanks it drops at the end.
    std::string base = component.substr(0, component.find_first_of(".:"));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    std::string upper;
    for (char c : base) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (upper == device) return true;
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
    std::string number = upper.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || IsSuperscriptDigit(number, encoding);
}

}  // namespace reserved_names
