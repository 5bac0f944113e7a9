#include "release/release_key.h"

#include <algorithm>

#include "release/gcrypt_owners.h"

using gcrypt_owners::Context;
using gcrypt_owners::Mpi;
using gcrypt_owners::Point;
using gcrypt_owners::Sexp;

namespace release_key {

namespace {

// The field prime 2^255 - 19 and the curve constant d = -121665/121666 of
// edwards25519 (RFC 8032, section 5.1), big-endian hexadecimal.
const char kFieldPrime[] = "7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFED";
const char kCurveD[] = "52036CEE2B6FFE738CC740797779E89800700A4D4141D8AB75EB4DCA135978A3";

Mpi FromHex(const char* hex) {
    gcry_mpi_t m = nullptr;
    if (gcry_mpi_scan(&m, GCRYMPI_FMT_HEX, hex, 0, nullptr) != 0) return Mpi();
    return Mpi(m);
}

Mpi NewMpi() { return Mpi(gcry_mpi_new(0)); }

// Recovers x from the encoded point as RFC 8032 (section 5.1.3) decodes it, with the
// library's general big-number arithmetic, which has no size assumptions to trip.
KeyCheck RecoverCoordinates(const std::string& key, Mpi& x, Mpi& y) {
    unsigned char bigEndian[kPublicKeySize];
    std::reverse_copy(key.begin(), key.end(), bigEndian);
    bool xIsOdd = (bigEndian[0] & 0x80) != 0;
    bigEndian[0] &= 0x7F;

    Mpi p = FromHex(kFieldPrime), d = FromHex(kCurveD);
    gcry_mpi_t scanned = nullptr;
    if (!p || !d || gcry_mpi_scan(&scanned, GCRYMPI_FMT_USG, bigEndian, sizeof bigEndian, nullptr) != 0)
        return KeyCheck::libraryUnavailable;
    y.reset(scanned);
    if (gcry_mpi_cmp(y.get(), p.get()) >= 0) return KeyCheck::notCanonical;

    Mpi one(gcry_mpi_set_ui(nullptr, 1));
    Mpi ySquared = NewMpi(), u = NewMpi(), v = NewMpi(), vInverse = NewMpi(), xSquared = NewMpi();
    gcry_mpi_mulm(ySquared.get(), y.get(), y.get(), p.get());
    gcry_mpi_subm(u.get(), ySquared.get(), one.get(), p.get());
    gcry_mpi_mulm(v.get(), d.get(), ySquared.get(), p.get());
    gcry_mpi_addm(v.get(), v.get(), one.get(), p.get());
    if (!gcry_mpi_invm(vInverse.get(), v.get(), p.get())) return KeyCheck::notOnCurve;
    gcry_mpi_mulm(xSquared.get(), u.get(), vInverse.get(), p.get());

    x = NewMpi();
    if (gcry_mpi_cmp_ui(xSquared.get(), 0) == 0) {
        gcry_mpi_set_ui(x.get(), 0);
        return xIsOdd ? KeyCheck::notOnCurve : KeyCheck::usable;
    }
    // p = 5 (mod 8): a square root of a square s is s^((p+3)/8), possibly times
    // the square root of -1, 2^((p-1)/4).
    Mpi exponent = NewMpi(), check = NewMpi();
    gcry_mpi_add_ui(exponent.get(), p.get(), 3);
    gcry_mpi_rshift(exponent.get(), exponent.get(), 3);
    gcry_mpi_powm(x.get(), xSquared.get(), exponent.get(), p.get());
    gcry_mpi_mulm(check.get(), x.get(), x.get(), p.get());
    if (gcry_mpi_cmp(check.get(), xSquared.get()) != 0) {
        Mpi two(gcry_mpi_set_ui(nullptr, 2)), rootOfMinusOne = NewMpi();
        gcry_mpi_sub_ui(exponent.get(), p.get(), 1);
        gcry_mpi_rshift(exponent.get(), exponent.get(), 2);
        gcry_mpi_powm(rootOfMinusOne.get(), two.get(), exponent.get(), p.get());
        gcry_mpi_mulm(x.get(), x.get(), rootOfMinusOne.get(), p.get());
        gcry_mpi_mulm(check.get(), x.get(), x.get(), p.get());
        if (gcry_mpi_cmp(check.get(), xSquared.get()) != 0) return KeyCheck::notOnCurve;
    }
    if ((gcry_mpi_test_bit(x.get(), 0) != 0) != xIsOdd) gcry_mpi_sub(x.get(), p.get(), x.get());
    return KeyCheck::usable;
}

bool IsIdentity(gcry_mpi_point_t point, gcry_ctx_t context) {
    Mpi x = NewMpi(), y = NewMpi();
    if (gcry_mpi_ec_get_affine(x.get(), y.get(), point, context) != 0) return false;
    return gcry_mpi_cmp_ui(x.get(), 0) == 0 && gcry_mpi_cmp_ui(y.get(), 1) == 0;
}

}  // namespace

bool StartCryptoLibrary() {
    static const bool started = [] {
        // 1.10 is what the programs are built and tested against; an older library
        // found at run time by the native build is refused rather than trusted.
        if (!gcry_check_version("1.10.0")) return false;
        // Verification handles no secrets, and the vendor tool keeps its private key
        // in ordinary memory anyway: secure memory would only add warnings.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return started;
}

const char* Describe(KeyCheck check) {
    switch (check) {
        case KeyCheck::usable: return "usable";
        case KeyCheck::wrongLength: return "not 32 bytes long";
        case KeyCheck::notCanonical: return "not a canonical point encoding";
        case KeyCheck::notOnCurve: return "not a point on the ed25519 curve";
        case KeyCheck::degenerate: return "a degenerate point that no key generation makes";
        case KeyCheck::notInPrimeOrderGroup: return "a point of small order or with a small-order part";
        case KeyCheck::libraryUnavailable: return "not checkable: libgcrypt 1.10 or later is not available";
    }
    return "unknown";
}

KeyCheck CheckPublicKey(const std::string& key) {
    if (key.size() != kPublicKeySize) return KeyCheck::wrongLength;
    if (!StartCryptoLibrary()) return KeyCheck::libraryUnavailable;

    Mpi x, y;
    KeyCheck recovered = RecoverCoordinates(key, x, y);
    if (recovered != KeyCheck::usable) return recovered;
    // The library keeps coordinates in 32-bit (or 64-bit) words and in 1.10 aborts
    // when a decoded one has fewer words than the field. A generated key has such a
    // coordinate with a chance of about 2^-30 (the key generator draws again), so a
    // key with a coordinate below 2^224 is refused before the library decodes it.
    Mpi smallest(gcry_mpi_set_ui(nullptr, 1));
    gcry_mpi_lshift(smallest.get(), smallest.get(), 224);
    if (gcry_mpi_cmp(x.get(), smallest.get()) < 0 || gcry_mpi_cmp(y.get(), smallest.get()) < 0)
        return KeyCheck::degenerate;

    Sexp keyExpression = gcrypt_owners::BuildSexp("(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))", key);
    if (!keyExpression) return KeyCheck::libraryUnavailable;
    gcry_ctx_t madeContext = nullptr;
    if (gcry_mpi_ec_new(&madeContext, keyExpression.get(), nullptr) != 0) return KeyCheck::notOnCurve;
    Context context(madeContext);
    // Asked for as a copy, which is what 1.10 returns whatever is asked.
    Point decoded(gcry_mpi_ec_get_point("q", context.get(), 1));
    gcry_mpi_point_t q = decoded.get();
    if (!q || !gcry_mpi_ec_curve_point(q, context.get())) return KeyCheck::notOnCurve;
    // The library must have decoded the same point as the arithmetic above.
    Mpi libraryX = NewMpi(), libraryY = NewMpi();
    if (gcry_mpi_ec_get_affine(libraryX.get(), libraryY.get(), q, context.get()) != 0 ||
        gcry_mpi_cmp(libraryX.get(), x.get()) != 0 || gcry_mpi_cmp(libraryY.get(), y.get()) != 0)
        return KeyCheck::notOnCurve;

    // A key made by key generation is a multiple of the base point, so n times it is
    // the neutral point. A point of small order would let anyone make signatures
    // that check; one with a small-order part is never a generated key.
    Mpi order(gcry_mpi_ec_get_mpi("n", context.get(), 1));
    Point product(gcry_mpi_point_new(0));
    if (!order) return KeyCheck::libraryUnavailable;
    gcry_mpi_ec_mul(product.get(), order.get(), q, context.get());
    if (!IsIdentity(product.get(), context.get()) || IsIdentity(q, context.get()))
        return KeyCheck::notInPrimeOrderGroup;
    return KeyCheck::usable;
}

}  // namespace release_key
