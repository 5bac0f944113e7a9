// Signed releases. The manifest names a release by its version and the SHA-256 of
// its package, and carries an ed25519 signature over both made with the vendor's
// private key; the programs carry the public key. A file server, proxy or network
// that answers in the vendor's name can then only offer what the vendor signed.
//
// The signed message is exactly
//   "velmora2-release\n" + version + "\n" + sha256 + "\n"
// with the version as the manifest gives it and sha256 the 64 digits in lower case.
// Signing the version with the digest stops an old signed package from being
// offered again under a newer version number.
//
// Nothing here touches a window; the caller decides what a failure shows.
#pragma once

#include <string>

struct OfferedRelease;
class File;
class StopRequest;

namespace release_signature {

// The outcome of checking a manifest's signature, one value per way it can fail.
enum class ReleaseCheck {
    ok,
    missingDigest,       // no sha256= line, or an empty one
    malformedDigest,     // not 64 hexadecimal digits
    missingSignature,    // no signature= line, or an empty one
    malformedSignature,  // not the padded base64 text of 64 bytes
    badSignature,        // well formed, but not made by the key for this version and digest
    unusableKey,         // the public key itself was refused
    cryptoUnavailable,   // libgcrypt could not be started
};

// A short English description of the outcome, for the vendor tool and tests.
const char* Describe(ReleaseCheck check);

// The bytes that are signed for a release.
std::string SignedMessage(const std::string& version, const std::string& sha256Lower);

// Checks the manifest's texts against a raw 32-byte public key. The digest and the
// signature are the values of their lines as the manifest parser stores them.
ReleaseCheck VerifyRelease(const std::string& publicKey, const std::string& version, const std::string& sha256Text,
                           const std::string& signatureText);

// Checks `signatureText` (the base64 text of 64 bytes) as the ed25519 signature of
// `message` made with `publicKey`; never missingDigest or malformedDigest.
ReleaseCheck VerifyMessage(const std::string& publicKey, const std::string& message, const std::string& signatureText);

// The public key built into the programs (the build's VL2_RELEASE_PUBLIC_KEY), as
// 32 raw bytes.
std::string BuiltInPublicKey();

// VerifyRelease with the built-in key and the release's version, digest and signature.
ReleaseCheck CheckRelease(const OfferedRelease& release);

// The SHA-256 of `bytes`, 32 raw bytes; "" when the library cannot be started.
std::string Sha256(const std::string& bytes);

// The SHA-256 of bytes that come piece by piece (a file being copied, a package
// being read), so that nothing is read twice to be hashed.
class Sha256Hasher {
 public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;
    // False when the library cannot be started: nothing can be hashed then.
    bool Usable() const { return handle_ != nullptr; }
    void Add(const void* bytes, size_t size);
    // The 32 raw bytes of the digest of everything added; "" when not usable.
    std::string Result();

 private:
    void* handle_;
};

// The SHA-256 of a file's contents as 32 raw bytes, read in chunks so that a large
// package costs no memory. False, with `digest` unchanged, when the file cannot be
// read or the library cannot be started.
bool FileSha256(const std::string& path, std::string& digest);
// The same through a file already open, from its first byte to its end; what is
// hashed is then exactly what that handle reads afterwards. With `stop`, false as
// soon as it is requested.
bool FileSha256(File& file, std::string& digest, const StopRequest* stop = nullptr);

// True only when `sha256Text` is 64 hexadecimal digits naming `digest` (32 raw bytes).
bool DigestMatches(const std::string& digest, const std::string& sha256Text);

// True only when `sha256Text` is 64 hexadecimal digits and the file's SHA-256 is
// that digest. A file that cannot be read does not match.
bool FileMatchesDigest(const std::string& path, const std::string& sha256Text);

}  // namespace release_signature
