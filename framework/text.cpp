#include "framework/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace text {

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && IsSpace(static_cast<unsigned char>(s[n - 1]))) --n;
    return s.substr(0, n);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string TrimRightAny(const std::string& s, const char* set) {
    size_t n = s.size();
    while (n > 0 && std::strchr(set, s[n - 1]) != nullptr && s[n - 1] != '\0') --n;
    return s.substr(0, n);
}

std::string ReplaceAll(const std::string& s, const std::string& what, const std::string& with) {
    if (what.empty()) return s;
    std::string out;
    out.reserve(s.size());
    size_t from = 0;
    for (;;) {
        size_t hit = s.find(what, from);
        if (hit == std::string::npos) break;
        out.append(s, from, hit - from);
        out += with;
        from = hit + what.size();
    }
    out.append(s, from, std::string::npos);
    return out;
}

std::string Left(const std::string& s, size_t count) { return s.substr(0, count); }

std::string Format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), pattern, args);
        out.assign(buffer.data(), static_cast<size_t>(needed));
    }
    va_end(args);
    return out;
}

int MbsCompare(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool IsLeadByte949(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

std::string MbsUpper(const std::string& s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte949(c) && i + 1 < out.size()) {
            ++i;  // the trail byte belongs to the same character
            continue;
        }
        if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

}  // namespace text
