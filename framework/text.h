// Text helpers with the semantics the installer was written against: ANSI text in
// the machine's code page (949 for the Korean release), counted in bytes, compared
// byte for byte. Portable so that the parsing code can run under sanitizers.
#pragma once

#include <string>

namespace text {

// White space as the C run time's isspace sees it in the "C" locale.
bool IsSpace(unsigned char c);

std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string Trim(const std::string& s);
// Removes every trailing character that appears in `set`.
std::string TrimRightAny(const std::string& s, const char* set);

// Replaces every occurrence of `what` (non-empty) by `with`, scanning left to right.
std::string ReplaceAll(const std::string& s, const std::string& what, const std::string& with);

// The first `count` bytes (the whole text when it is shorter).
std::string Left(const std::string& s, size_t count);

// printf-style formatting into a std::string.
std::string Format(const char* pattern, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Byte-wise comparison of two multibyte texts: <0, 0 or >0. Comparing the raw bytes
// as unsigned values orders double-byte characters exactly as the code page's
// multibyte comparison does, because a lead byte always sorts by itself first.
int MbsCompare(const std::string& a, const std::string& b);

// True for the first byte of a double-byte character in code page 949.
bool IsLeadByte949(unsigned char c);

// Upper-cases single-byte letters and leaves double-byte characters unchanged.
std::string MbsUpper(const std::string& s);

}  // namespace text
