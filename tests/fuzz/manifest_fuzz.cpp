// libFuzzer target: any bytes as an update manifest, parsed and its release and
// fallback release checked against the built-in key as the installer does; the same bytes as base64 and hex
// texts and their first 32 bytes as a public key. Nothing may crash or abort (the
// crypto library aborts on some keys), a decoded text must be the one spelling of its
// bytes, and only a well-formed digest and signature may ever verify.
#include <cstdint>
#include <string>

#include "framework/text.h"
#include "net/manifest.h"
#include "release/release_encoding.h"
#include "release/release_key.h"
#include "release/release_signature.h"

namespace {

std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void CheckTexts(const std::string& input) {
    std::string bytes;
    if (release_encoding::DecodeHex(input, bytes) &&
        (bytes.size() * 2 != input.size() || release_encoding::EncodeHex(bytes) != AsciiLower(input)))
        __builtin_trap();
    if (release_encoding::DecodeBase64(input, bytes) && release_encoding::EncodeBase64(bytes) != input)
        __builtin_trap();
    if (!release_encoding::DecodeBase64(release_encoding::EncodeBase64(input), bytes) || bytes != input)
        __builtin_trap();
}

bool IsTrimmed(const std::string& s) { return text::Trim(s) == s; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckTexts(input.substr(0, 1024));

    // Keys from outside (cvztool verify's command line) go through this check first.
    std::string candidateKey = input.substr(0, release_key::kPublicKeySize);
    bool candidateUsable = release_key::CheckPublicKey(candidateKey) == release_key::KeyCheck::usable;

    UpdateManifest manifest;
    if (!ParseManifest(input, manifest)) return 0;
    if (!IsTrimmed(manifest.version) || !IsTrimmed(manifest.sha256) || !IsTrimmed(manifest.signature) ||
        !IsTrimmed(manifest.fallback.version) || !IsTrimmed(manifest.fallback.sha256) ||
        !IsTrimmed(manifest.fallback.signature))
        __builtin_trap();
    int percentage = RolloutPercentage(manifest);
    if (percentage < 0 || percentage > 100) __builtin_trap();
    // The manifest's own release and its fallback go through the same check.
    for (const OfferedRelease& release : {ManifestRelease(manifest), manifest.fallback}) {
        release_signature::ReleaseCheck check = release_signature::CheckRelease(release);
        // The built-in key is a good key and the library is there: these never happen.
        if (check == release_signature::ReleaseCheck::unusableKey ||
            check == release_signature::ReleaseCheck::cryptoUnavailable)
            __builtin_trap();
        if (check == release_signature::ReleaseCheck::ok) {
            std::string digest, signature;
            if (!release_encoding::DecodeHex(release.sha256, digest) || digest.size() != 32 ||
                !release_encoding::DecodeBase64(release.signature, signature) || signature.size() != 64)
                __builtin_trap();
        }
    }
    if (candidateUsable)
        release_signature::VerifyRelease(candidateKey, manifest.version, manifest.sha256, manifest.signature);
    return 0;
}
