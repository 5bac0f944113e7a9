#include "release/rollout.h"

#include <gcrypt.h>

#include "release/release_key.h"

namespace rollout {

namespace {

constexpr int kEveryMachine = 100;
constexpr size_t kSha256Bytes = 32;

}  // namespace

bool IsWellFormedId(const std::string& id) {
    if (id.size() != 2 * kIdBytes) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool PositionFor(const std::string& id, const std::string& version, uint32_t& position) {
    if (!release_key::StartCryptoLibrary()) return false;
    // Line breaks keep the two texts apart, so no other id and version run together
    // into the same bytes.
    std::string message = "velmora2-rollout\n" + id + "\n" + version + "\n";
    unsigned char digest[kSha256Bytes];
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest, message.data(), message.size());
    position = static_cast<uint32_t>(digest[0]) << 24 | static_cast<uint32_t>(digest[1]) << 16 |
               static_cast<uint32_t>(digest[2]) << 8 | static_cast<uint32_t>(digest[3]);
    return true;
}

bool IsWithin(uint32_t position, int percentage) {
    if (percentage <= 0) return false;
    if (percentage >= kEveryMachine) return true;
    // position / 2^32 < percentage / 100, in integers: exact, with no rounding at
    // the edges of the range.
    return static_cast<uint64_t>(position) * kEveryMachine < static_cast<uint64_t>(percentage) << 32;
}

bool TakesRelease(const std::string& id, const std::string& version, int percentage) {
    if (percentage <= 0) return false;
    if (percentage >= kEveryMachine) return true;
    // Machines without an id would all share one position, and take or skip every
    // release together.
    if (!IsWellFormedId(id)) return false;
    uint32_t position = 0;
    return PositionFor(id, version, position) && IsWithin(position, percentage);
}

}  // namespace rollout
