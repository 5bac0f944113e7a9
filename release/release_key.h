// The ed25519 public key that release signatures are checked against, and the
// start of the crypto library that checks them.
//
// libgcrypt 1.10 stops the whole process when it is handed some public keys that
// are not proper curve points (all zero bytes, small y values): a key is therefore
// examined with plain big-number arithmetic before the library's curve code sees it.
// The same check runs when the build is configured, on the key built into the
// programs, and whenever a key comes from outside (the vendor tool's command line).
#pragma once

#include <cstddef>
#include <string>

namespace release_key {

constexpr size_t kPublicKeySize = 32;

// Initialises libgcrypt on first use and reports whether it is usable. Nothing is
// done before a check needs it, so a start-up that never checks a release never
// pays for it. Later calls return the first answer.
bool StartCryptoLibrary();

enum class KeyCheck {
    usable,
    wrongLength,          // not 32 bytes
    notCanonical,         // the y coordinate is not reduced modulo the field prime
    notOnCurve,           // no x coordinate exists for this y (or x is 0 with its sign bit set)
    degenerate,           // a coordinate so small the library cannot handle it; never made by key generation
    notInPrimeOrderGroup, // a point of small order or one with a small-order part: it would accept forgeries
    libraryUnavailable,
};

// What is wrong with a key, in a few words, for messages.
const char* Describe(KeyCheck check);

// Examines the raw 32 bytes of an ed25519 public key.
KeyCheck CheckPublicKey(const std::string& key);

}  // namespace release_key
