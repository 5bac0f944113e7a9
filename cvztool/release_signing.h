// The vendor's side of signed releases: the private key file and the two manifest
// lines that sign a package for a version.
//
// Key files are the PEM "PRIVATE KEY" (PKCS#8) form that `openssl genpkey -algorithm
// ed25519` writes, so keys can be made, inspected and kept with standard tools. For
// ed25519 that form is always the same 48 bytes: a fixed 16-byte header and the
// 32-byte private key. Anything else (an encrypted key, another algorithm, the form
// that also carries the public key) is refused with a message saying so.
//
// Typical use, as `cvztool sign` does it:
//
//   release_signing::PrivateKey key;
//   std::string error;
//   if (!release_signing::ReadPrivateKeyFile("release.pem", key, error)) fail(error);
//   std::string lines = release_signing::SignReleaseLines(key, "2.01", "2.01.cvz");
//   // lines == "sha256=<64 digits>\nsignature=<88 letters>\n", ready to append
//   // to the manifest
#pragma once

#include <cstdint>
#include <string>

#include "framework/exceptions.h"

namespace release_signing {

// The 32-byte ed25519 private key (RFC 8032 calls it the secret seed).
struct PrivateKey {
    std::string seed;
};

// What went wrong while signing: its kind, and a sentence for the release engineer.
class SigningError : public Exception {
 public:
    enum Cause {
        refusedVersion,     // the installer would not accept the version text
        unreadablePackage,  // the package file could not be read
        libraryFailure,     // libgcrypt failed or gave a result that does not verify
    };
    SigningError(Cause cause, std::string message) : cause(cause), message(std::move(message)) {}
    Cause cause;
    std::string message;
};

// Reads and checks a key file; false with `error` set when it cannot be read or is
// not an unencrypted ed25519 PKCS#8 PEM key.
bool ReadPrivateKeyFile(const std::string& path, PrivateKey& key, std::string& error);

// Reads a whole file of at most `largest` bytes; false with the reason in `error`
// otherwise ("<path><tooLarge>" for a larger one).
bool ReadSmallFile(const std::string& path, uint64_t largest, std::string& contents, std::string& error,
                   const char* tooLarge = " is too large");
bool ParsePrivateKeyPem(const std::string& pem, PrivateKey& key, std::string& error);
// The PEM text of a key, exactly as openssl writes it.
std::string PrivateKeyPem(const PrivateKey& key);

// A new key from the library's strongest random source, drawn again until its
// public key passes the installer's key check. Throws SigningError.
PrivateKey GeneratePrivateKey();

// The raw 32-byte public key of a private key. Throws SigningError.
std::string PublicKeyOf(const PrivateKey& key);

// The 64-byte ed25519 signature of `message`. Throws SigningError.
std::string SignMessage(const PrivateKey& key, const std::string& message);

// True when the installer would accept `version` as a manifest version (a plain file
// name, not a device name, and a text the manifest parser gives back unchanged).
bool IsSignableVersion(const std::string& version);

// The manifest's "sha256=" and "signature=" lines for the package file at
// `packagePath` released as `version`, each ending in LF. Throws SigningError when
// the version is not signable, the package cannot be read or signing fails.
std::string SignReleaseLines(const PrivateKey& key, const std::string& version, const std::string& packagePath);

}  // namespace release_signing
