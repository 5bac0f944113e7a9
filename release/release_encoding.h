// The two texts a signed release is written in: hexadecimal for the package digest
// and base64 (standard alphabet, with padding) for keys and signatures.
//
// Decoding is strict on purpose. A text that is not exactly the canonical form of
// some bytes is refused rather than repaired, so each value has a single spelling:
// what a release engineer sees in the manifest is what was signed, and a fuzzed or
// hand-edited line cannot reach the signature check in a shape nobody tested.
#pragma once

#include <string>

namespace release_encoding {

// Even length, digits 0-9, a-f and A-F only; an empty text decodes to no bytes.
bool DecodeHex(const std::string& text, std::string& bytes);
// Two lower-case digits per byte.
std::string EncodeHex(const std::string& bytes);

// Length a multiple of four, the 64-letter alphabet, "=" only as one or two final
// padding characters, and the unused low bits of the last letter zero. No white
// space. An empty text decodes to no bytes.
bool DecodeBase64(const std::string& text, std::string& bytes);
std::string EncodeBase64(const std::string& bytes);

}  // namespace release_encoding
