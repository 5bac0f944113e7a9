#include "release/release_encoding.h"

namespace release_encoding {

namespace {

const char kHexDigits[] = "0123456789abcdef";
const char kBase64Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool DecodeHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) return false;
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexValue(static_cast<unsigned char>(text[i]));
        int low = HexValue(static_cast<unsigned char>(text[i + 1]));
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    bytes = out;
    return true;
}

std::string EncodeHex(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 15];
    }
    return out;
}

bool DecodeBase64(const std::string& text, std::string& bytes) {
    if (text.size() % 4 != 0) return false;
    size_t padding = 0;
    if (!text.empty() && text[text.size() - 1] == '=') ++padding;
    if (text.size() >= 2 && text[text.size() - 2] == '=') ++padding;
    if (padding == 1 && text[text.size() - 2] == '=') return false;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t group = 0; group < text.size(); group += 4) {
        bool last = group + 4 == text.size();
        size_t letters = last ? 4 - padding : 4;
        unsigned long value = 0;
        for (size_t i = 0; i < 4; ++i) {
            int v = 0;
            if (i < letters) {
                v = Base64Value(static_cast<unsigned char>(text[group + i]));
                if (v < 0) return false;
            }
            value = value << 6 | static_cast<unsigned long>(v);
        }
        out += static_cast<char>((value >> 16) & 0xFF);
        if (letters >= 3) out += static_cast<char>((value >> 8) & 0xFF);
        if (letters == 4) out += static_cast<char>(value & 0xFF);
        // Bits below the last whole byte must be zero, or two texts would decode to
        // the same bytes.
        if (letters == 3 && (value & 0xFF) != 0) return false;
        if (letters == 2 && (value & 0xFFFF) != 0) return false;
    }
    bytes = out;
    return true;
}

std::string EncodeBase64(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        unsigned long value = 0;
        for (size_t k = 0; k < 3; ++k)
            value = value << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        out += kBase64Letters[(value >> 18) & 63];
        out += kBase64Letters[(value >> 12) & 63];
        out += n > 1 ? kBase64Letters[(value >> 6) & 63] : '=';
        out += n > 2 ? kBase64Letters[value & 63] : '=';
    }
    return out;
}

}  // namespace release_encoding
