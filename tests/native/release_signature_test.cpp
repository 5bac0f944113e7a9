// Signed releases as the installer checks them: the strict texts, the public key
// check, the signature over version and digest, and the package digest.
#include <string>

#include "framework/text.h"
#include "net/manifest.h"
#include "release/release_encoding.h"
#include "release/release_key.h"
#include "release/release_signature.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "test_release_key.h"
#include "cvztool/release_signing.h"

using release_encoding::DecodeBase64;
using release_encoding::DecodeHex;
using release_encoding::EncodeBase64;
using release_encoding::EncodeHex;
using release_key::CheckPublicKey;
using release_key::KeyCheck;
using release_signature::ReleaseCheck;
using release_signature::VerifyRelease;

namespace {

std::string Hex(const std::string& text) {
    std::string bytes;
    if (!DecodeHex(text, bytes)) return "<not hex>";
    return bytes;
}

release_signing::PrivateKey KeyFromSeed(char fill) {
    release_signing::PrivateKey key;
    key.seed = std::string(32, fill);
    return key;
}

// What a release engineer's tool produces for a package with this digest.
struct SignedRelease {
    std::string publicKey;
    std::string version;
    std::string sha256;
    std::string signature;
};

SignedRelease Sign(const release_signing::PrivateKey& key, const std::string& version, const std::string& sha256) {
    SignedRelease r;
    r.publicKey = release_signing::PublicKeyOf(key);
    r.version = version;
    r.sha256 = sha256;
    r.signature = EncodeBase64(release_signing::SignMessage(key, release_signature::SignedMessage(version, sha256)));
    return r;
}

const std::string kDigestA = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // SHA-256("abc")
const std::string kDigestB = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";  // SHA-256("")

}  // namespace

TEST_CASE(release_encoding, hex_decodes_either_case_and_refuses_odd_lengths_and_other_characters) {
    std::string bytes = "unchanged";
    CHECK(DecodeHex("00ff7Fa0", bytes));
    CHECK_EQ(EncodeHex(bytes), std::string("00ff7fa0"));
    CHECK(DecodeHex("", bytes));
    CHECK_EQ(bytes, std::string(""));
    bytes = "unchanged";
    CHECK(!DecodeHex("abc", bytes));
    CHECK(!DecodeHex("0g", bytes));
    CHECK(!DecodeHex("0 ", bytes));
    CHECK(!DecodeHex("-1", bytes));
    CHECK(!DecodeHex("0x12", bytes));
    CHECK(!DecodeHex(std::string("a\0", 2), bytes));
    CHECK_EQ(bytes, std::string("unchanged"));
}

TEST_CASE(release_encoding, base64_matches_the_standard_vectors_both_ways) {
    const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 7; ++i) {
        CHECK_EQ(EncodeBase64(plain[i]), std::string(encoded[i]));
        std::string bytes;
        CHECK(DecodeBase64(encoded[i], bytes));
        CHECK_EQ(bytes, std::string(plain[i]));
    }
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    std::string back;
    CHECK(DecodeBase64(EncodeBase64(all), back));
    CHECK(back == all);
}

TEST_CASE(release_encoding, base64_without_padding_or_with_foreign_characters_is_refused) {
    std::string bytes = "unchanged";
    CHECK(!DecodeBase64("Zg", bytes));       // padding missing
    CHECK(!DecodeBase64("Zm8", bytes));
    CHECK(!DecodeBase64("Zg=", bytes));      // padding short
    CHECK(!DecodeBase64("Z===", bytes));     // three padding characters
    CHECK(!DecodeBase64("====", bytes));
    CHECK(!DecodeBase64("Zg==Zm9v", bytes)); // padding in the middle
    CHECK(!DecodeBase64("Zm=v", bytes));
    CHECK(!DecodeBase64("Zm9v\n", bytes));   // white space
    CHECK(!DecodeBase64("Zm 9v", bytes));
    CHECK(!DecodeBase64("Zm9-", bytes));     // the URL-safe alphabet
    CHECK(!DecodeBase64("Zm9_", bytes));
    CHECK(!DecodeBase64("Zm9v!A==", bytes));
    CHECK(!DecodeBase64("Zh==", bytes));     // unused bits set: a second spelling of "f"
    CHECK(!DecodeBase64("Zm9=", bytes));
    CHECK_EQ(bytes, std::string("unchanged"));
}

TEST_CASE(release_signature, the_signed_message_is_the_fixed_prefix_version_and_digest_on_three_lines) {
    CHECK_EQ(release_signature::SignedMessage("2.01", kDigestA),
             std::string("velmora2-release\n2.01\n") + kDigestA + "\n");
    CHECK_EQ(release_signature::SignedMessage("", ""), std::string("velmora2-release\n\n\n"));
}

TEST_CASE(release_key, a_generated_key_and_the_standard_test_key_are_usable) {
    CHECK(CheckPublicKey(Hex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a")) == KeyCheck::usable);
    for (char fill = 1; fill < 20; ++fill)
        CHECK(CheckPublicKey(release_signing::PublicKeyOf(KeyFromSeed(fill))) == KeyCheck::usable);
}

TEST_CASE(release_key, keys_that_make_the_library_abort_are_refused_before_it_sees_them) {
    // All zero (y = 0), the neutral point (y = 1) and the point of order 2 (y = -1):
    // each stops a process that hands it to libgcrypt 1.10 for decoding.
    CHECK(CheckPublicKey(std::string(32, '\0')) == KeyCheck::degenerate);
    CHECK(CheckPublicKey(Hex("0100000000000000000000000000000000000000000000000000000000000000")) == KeyCheck::degenerate);
    CHECK(CheckPublicKey(Hex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f")) == KeyCheck::degenerate);
    CHECK(CheckPublicKey(Hex("0300000000000000000000000000000000000000000000000000000000000000")) == KeyCheck::degenerate);
    // x = 0 with the sign bit set has no point at all.
    CHECK(CheckPublicKey(Hex("0100000000000000000000000000000000000000000000000000000000000080")) == KeyCheck::notOnCurve);
}

TEST_CASE(release_key, keys_off_the_curve_or_outside_the_prime_order_group_are_refused) {
    CHECK(CheckPublicKey(std::string(31, 'k')) == KeyCheck::wrongLength);
    CHECK(CheckPublicKey(std::string(33, 'k')) == KeyCheck::wrongLength);
    CHECK(CheckPublicKey(std::string(32, '\xff')) == KeyCheck::notCanonical);
    CHECK(CheckPublicKey(Hex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f")) == KeyCheck::notCanonical);
    CHECK(CheckPublicKey(Hex("0200000000000000000000000000000000000000000000000000000000000000")) == KeyCheck::notOnCurve);
    CHECK(CheckPublicKey(Hex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff")) == KeyCheck::notOnCurve);
    // Points of order 8, which would accept forged signatures, and a proper key plus
    // one of them.
    CHECK(CheckPublicKey(Hex("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a")) ==
          KeyCheck::notInPrimeOrderGroup);
    CHECK(CheckPublicKey(Hex("26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05")) ==
          KeyCheck::notInPrimeOrderGroup);
    CHECK(CheckPublicKey(Hex("f2f241dd43ce46c6887d2a9e20be8b99097363b72e69d232fa078262c0123b8f")) ==
          KeyCheck::notInPrimeOrderGroup);
}

TEST_CASE(release_signature, a_release_signed_with_the_key_verifies_whatever_the_digest_case) {
    SignedRelease r = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(r.publicKey, r.version, r.sha256, r.signature) == ReleaseCheck::ok);
    std::string upper = text::MbsUpper(r.sha256);
    CHECK(upper != r.sha256);
    CHECK(VerifyRelease(r.publicKey, r.version, upper, r.signature) == ReleaseCheck::ok);
}

TEST_CASE(release_signature, a_signature_by_another_key_is_bad) {
    SignedRelease theirs = Sign(KeyFromSeed('x'), "2.01", kDigestA);
    SignedRelease ours = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(ours.publicKey, "2.01", kDigestA, theirs.signature) == ReleaseCheck::badSignature);
}

TEST_CASE(release_signature, a_signature_of_another_version_with_the_same_digest_is_bad) {
    SignedRelease old = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(old.publicKey, "2.02", kDigestA, old.signature) == ReleaseCheck::badSignature);
    CHECK(VerifyRelease(old.publicKey, "2.01 ", kDigestA, old.signature) == ReleaseCheck::badSignature);
}

TEST_CASE(release_signature, a_signature_of_another_package_digest_is_bad) {
    SignedRelease r = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestB, r.signature) == ReleaseCheck::badSignature);
}

TEST_CASE(release_signature, each_missing_or_malformed_field_has_its_own_outcome) {
    SignedRelease r = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(r.publicKey, "2.01", "", r.signature) == ReleaseCheck::missingDigest);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA.substr(1), r.signature) == ReleaseCheck::malformedDigest);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA + "00", r.signature) == ReleaseCheck::malformedDigest);
    CHECK(VerifyRelease(r.publicKey, "2.01", "g" + kDigestA.substr(1), r.signature) == ReleaseCheck::malformedDigest);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, "") == ReleaseCheck::missingSignature);
    std::string unpadded = r.signature.substr(0, r.signature.size() - 2);
    CHECK_EQ(r.signature.substr(r.signature.size() - 2), std::string("=="));
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, unpadded) == ReleaseCheck::malformedSignature);
    std::string raw;
    CHECK(DecodeBase64(r.signature, raw));
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, EncodeBase64(raw.substr(1))) == ReleaseCheck::malformedSignature);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, EncodeBase64(raw + "x")) == ReleaseCheck::malformedSignature);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, "*" + r.signature.substr(1)) == ReleaseCheck::malformedSignature);
    for (size_t bit : {0u, 255u, 256u, 511u}) {
        std::string flipped = raw;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, EncodeBase64(flipped)) == ReleaseCheck::badSignature);
    }
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, EncodeBase64(std::string(64, '\0'))) == ReleaseCheck::badSignature);
    CHECK(VerifyRelease(r.publicKey, "2.01", kDigestA, EncodeBase64(std::string(64, '\xff'))) == ReleaseCheck::badSignature);
}

TEST_CASE(release_signature, an_unusable_key_is_reported_and_not_handed_to_the_library) {
    SignedRelease r = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    CHECK(VerifyRelease(std::string(32, '\0'), "2.01", kDigestA, r.signature) == ReleaseCheck::unusableKey);
    CHECK(VerifyRelease("", "2.01", kDigestA, r.signature) == ReleaseCheck::unusableKey);
    CHECK(VerifyRelease(Hex("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a"), "2.01", kDigestA,
                        r.signature) == ReleaseCheck::unusableKey);
}

TEST_CASE(release_signature, the_later_digest_and_signature_lines_of_a_manifest_are_the_ones_checked) {
    SignedRelease r = Sign(KeyFromSeed('a'), "2.01", kDigestA);
    std::string head = "version=2.01\ndownload=http://h/2.01.cvz\n";
    UpdateManifest m;
    CHECK(ParseManifest(head + "sha256=" + kDigestB + "\nsha256=" + kDigestA + "\nsignature=AAAA\nsignature=" +
                            r.signature + "\n",
                        m));
    CHECK(VerifyRelease(r.publicKey, m.version, m.sha256, m.signature) == ReleaseCheck::ok);
    m = UpdateManifest();
    CHECK(ParseManifest(head + "signature=" + r.signature + "\nsha256=" + kDigestA + "\nsignature=AAAA\n", m));
    CHECK(VerifyRelease(r.publicKey, m.version, m.sha256, m.signature) == ReleaseCheck::malformedSignature);
    m = UpdateManifest();
    CHECK(ParseManifest(head + "sha256=" + kDigestA + "\nsignature=" + r.signature + "\nsha256=" + kDigestB + "\n", m));
    CHECK(VerifyRelease(r.publicKey, m.version, m.sha256, m.signature) == ReleaseCheck::badSignature);
}

TEST_CASE(release_signature, the_built_in_key_accepts_what_its_private_half_signs_and_nothing_else) {
    release_signing::PrivateKey testKey;
    std::string error;
    CHECK(release_signing::ParsePrivateKeyPem(VL2_TEST_PRIVATE_KEY_PEM, testKey, error));
    CHECK_EQ(error, std::string(""));
    UpdateManifest m;
    SignedRelease r = Sign(testKey, "2.01", kDigestA);
    CHECK(ParseManifest("version=2.01\ndownload=http://h/p\nsha256=" + kDigestA + "\nsignature=" + r.signature + "\n", m));
    // The native and win32 presets build the test key in; a build with the vendor's
    // key must refuse the test key's signatures instead.
    if (release_signature::BuiltInPublicKey() == release_signing::PublicKeyOf(testKey))
        CHECK(release_signature::CheckRelease(ManifestRelease(m)) == ReleaseCheck::ok);
    else
        CHECK(release_signature::CheckRelease(ManifestRelease(m)) == ReleaseCheck::badSignature);
    m.signature = Sign(KeyFromSeed('x'), "2.01", kDigestA).signature;
    CHECK(release_signature::CheckRelease(ManifestRelease(m)) == ReleaseCheck::badSignature);
    m.signature.clear();
    CHECK(release_signature::CheckRelease(ManifestRelease(m)) == ReleaseCheck::missingSignature);
    CHECK(CheckPublicKey(release_signature::BuiltInPublicKey()) == KeyCheck::usable);
}

TEST_CASE(release_digest, the_file_digest_matches_the_standard_vectors_across_read_chunks) {
    scratch::Folder folder;
    std::string digest;
    scratch::WriteBytes(folder / "abc", "abc");
    CHECK(release_signature::FileSha256(folder / "abc", digest));
    CHECK_EQ(EncodeHex(digest), kDigestA);
    scratch::WriteBytes(folder / "empty", "");
    CHECK(release_signature::FileSha256(folder / "empty", digest));
    CHECK_EQ(EncodeHex(digest), kDigestB);
    // A million "a": sixteen read chunks and a part of one.
    scratch::WriteBytes(folder / "million", std::string(1000000, 'a'));
    CHECK(release_signature::FileSha256(folder / "million", digest));
    CHECK_EQ(EncodeHex(digest), std::string("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
}

TEST_CASE(release_digest, a_package_matches_only_its_own_well_formed_digest) {
    scratch::Folder folder;
    scratch::WriteBytes(folder / "2.01.cvz", "abc");
    CHECK(release_signature::FileMatchesDigest(folder / "2.01.cvz", kDigestA));
    CHECK(release_signature::FileMatchesDigest(folder / "2.01.cvz", text::MbsUpper(kDigestA)));
    CHECK(!release_signature::FileMatchesDigest(folder / "2.01.cvz", kDigestB));
    CHECK(!release_signature::FileMatchesDigest(folder / "2.01.cvz", kDigestA.substr(0, 62)));
    CHECK(!release_signature::FileMatchesDigest(folder / "2.01.cvz", ""));
    scratch::WriteBytes(folder / "2.01.cvz", "abd");
    CHECK(!release_signature::FileMatchesDigest(folder / "2.01.cvz", kDigestA));
    std::string digest = "unchanged";
    CHECK(!release_signature::FileMatchesDigest(folder / "absent.cvz", kDigestB));
    CHECK(!release_signature::FileSha256(folder / "absent.cvz", digest));
    CHECK_EQ(digest, std::string("unchanged"));
}
