#include "release/release_signature.h"

#include <vector>

#include "build_settings.h"
#include "framework/file.h"
#include "release/gcrypt_owners.h"
#include "net/manifest.h"
#include "release/release_encoding.h"
#include "release/release_key.h"

using gcrypt_owners::BuildSexp;
using gcrypt_owners::Digest;
using gcrypt_owners::Sexp;

namespace release_signature {

namespace {

constexpr size_t kDigestSize = 32;
constexpr size_t kSignatureSize = 64;
constexpr unsigned kReadChunk = 64 * 1024;

// The 32 bytes that a sha256= value spells, in either letter case; false for any
// other text.
bool DecodeDigest(const std::string& text, std::string& digest) {
    return release_encoding::DecodeHex(text, digest) && digest.size() == kDigestSize;
}

}  // namespace

const char* Describe(ReleaseCheck check) {
    switch (check) {
        case ReleaseCheck::ok: return "signature verified";
        case ReleaseCheck::missingDigest: return "the manifest has no sha256= line";
        case ReleaseCheck::malformedDigest: return "the sha256= value is not 64 hexadecimal digits";
        case ReleaseCheck::missingSignature: return "the manifest has no signature= line";
        case ReleaseCheck::malformedSignature: return "the signature= value is not the base64 text of 64 bytes";
        case ReleaseCheck::badSignature:
            return "the signature was not made with this key for this version and digest";
        case ReleaseCheck::unusableKey: return "the public key is not a usable ed25519 key";
        case ReleaseCheck::cryptoUnavailable: return "libgcrypt could not be started";
    }
    return "unknown";
}

std::string SignedMessage(const std::string& version, const std::string& sha256Lower) {
    return "velmora2-release\n" + version + "\n" + sha256Lower + "\n";
}

ReleaseCheck VerifyRelease(const std::string& publicKey, const std::string& version, const std::string& sha256Text,
                           const std::string& signatureText) {
    std::string digest;
    if (sha256Text.empty()) return ReleaseCheck::missingDigest;
    if (!DecodeDigest(sha256Text, digest)) return ReleaseCheck::malformedDigest;
    // The digest is signed in its lower-case spelling, whatever case the line used.
    return VerifyMessage(publicKey, SignedMessage(version, release_encoding::EncodeHex(digest)), signatureText);
}

ReleaseCheck VerifyMessage(const std::string& publicKey, const std::string& message,
                           const std::string& signatureText) {
    std::string signature;
    if (signatureText.empty()) return ReleaseCheck::missingSignature;
    if (!release_encoding::DecodeBase64(signatureText, signature) || signature.size() != kSignatureSize)
        return ReleaseCheck::malformedSignature;

    switch (release_key::CheckPublicKey(publicKey)) {
        case release_key::KeyCheck::usable: break;
        case release_key::KeyCheck::libraryUnavailable: return ReleaseCheck::cryptoUnavailable;
        default: return ReleaseCheck::unusableKey;
    }

    Sexp key = BuildSexp("(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))", publicKey);
    Sexp data = BuildSexp("(data(flags eddsa)(hash-algo sha512)(value %b))", message);
    Sexp signatureValue =
        BuildSexp("(sig-val(eddsa(r %b)(s %b)))", signature.substr(0, kSignatureSize / 2), signature.substr(kSignatureSize / 2));
    if (!key || !data || !signatureValue) return ReleaseCheck::cryptoUnavailable;
    // Any refusal by the library counts as a bad signature: only a clean yes passes.
    if (gcry_pk_verify(signatureValue.get(), data.get(), key.get()) != 0) return ReleaseCheck::badSignature;
    return ReleaseCheck::ok;
}

std::string BuiltInPublicKey() {
    std::string key;
    // The build refuses to configure with a text that does not decode; an empty
    // result here is refused by the key check like any other wrong key.
    if (!release_encoding::DecodeBase64(VL2_RELEASE_PUBLIC_KEY, key)) key.clear();
    return key;
}

ReleaseCheck CheckRelease(const OfferedRelease& release) {
    return VerifyRelease(BuiltInPublicKey(), release.version, release.sha256, release.signature);
}

std::string Sha256(const std::string& bytes) {
    if (!release_key::StartCryptoLibrary()) return "";
    std::string digest(kDigestSize, '\0');
    gcry_md_hash_buffer(GCRY_MD_SHA256, &digest[0], bytes.data(), bytes.size());
    return digest;
}

bool FileSha256(const std::string& path, std::string& digest) {
    if (!release_key::StartCryptoLibrary()) return false;
    gcry_md_hd_t opened = nullptr;
    if (gcry_md_open(&opened, GCRY_MD_SHA256, 0) != 0) return false;
    Digest hash(opened);
    std::vector<unsigned char> chunk(kReadChunk);
    try {
        File file;
        file.Open(path, File::modeRead | File::shareDenyWrite);
        for (;;) {
            unsigned got = file.Read(chunk.data(), kReadChunk);
            if (got == 0) break;
            gcry_md_write(hash.get(), chunk.data(), got);
        }
        file.Close();
    } catch (const FileException&) {
        return false;
    }
    const unsigned char* result = gcry_md_read(hash.get(), GCRY_MD_SHA256);
    if (!result) return false;
    digest.assign(reinterpret_cast<const char*>(result), kDigestSize);
    return true;
}

bool FileMatchesDigest(const std::string& path, const std::string& sha256Text) {
    std::string expected, actual;
    if (!DecodeDigest(sha256Text, expected)) return false;
    if (!FileSha256(path, actual)) return false;
    return actual == expected;
}

}  // namespace release_signature
