#include "release/release_signature.h"

#include <vector>

#include "build_settings.h"
#include "framework/file.h"
#include "framework/worker.h"
#include "release/gcrypt_owners.h"
#include "net/manifest.h"
#include "release/release_encoding.h"
#include "release/release_key.h"

using gcrypt_owners::BuildSexp;
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

Sha256Hasher::Sha256Hasher() : handle_(nullptr) {
    gcry_md_hd_t opened = nullptr;
    if (release_key::StartCryptoLibrary() && gcry_md_open(&opened, GCRY_MD_SHA256, 0) == 0) handle_ = opened;
}

Sha256Hasher::~Sha256Hasher() {
    if (handle_) gcry_md_close(static_cast<gcry_md_hd_t>(handle_));
}

void Sha256Hasher::Add(const void* bytes, size_t size) {
    if (handle_ && size) gcry_md_write(static_cast<gcry_md_hd_t>(handle_), bytes, size);
}

std::string Sha256Hasher::Result() {
    if (!handle_) return "";
    const unsigned char* result = gcry_md_read(static_cast<gcry_md_hd_t>(handle_), GCRY_MD_SHA256);
    return result ? std::string(reinterpret_cast<const char*>(result), kDigestSize) : std::string();
}

bool FileSha256(File& file, std::string& digest, const StopRequest* stop) {
    Sha256Hasher hash;
    if (!hash.Usable()) return false;
    std::vector<unsigned char> chunk(kReadChunk);
    try {
        file.Seek(0, File::begin);
        for (;;) {
            if (stop && stop->Requested()) return false;
            unsigned got = file.Read(chunk.data(), kReadChunk);
            if (got == 0) break;
            hash.Add(chunk.data(), got);
        }
    } catch (const FileException&) {
        return false;
    }
    std::string result = hash.Result();
    if (result.empty()) return false;
    digest = result;
    return true;
}

bool FileSha256(const std::string& path, std::string& digest) {
    try {
        File file;
        file.Open(path, File::modeRead | File::shareDenyWrite);
        return FileSha256(file, digest);
    } catch (const FileException&) {
        return false;
    }
}

bool DigestMatches(const std::string& digest, const std::string& sha256Text) {
    std::string expected;
    return DecodeDigest(sha256Text, expected) && digest == expected;
}

bool FileMatchesDigest(const std::string& path, const std::string& sha256Text) {
    std::string actual;
    return FileSha256(path, actual) && DigestMatches(actual, sha256Text);
}

}  // namespace release_signature
