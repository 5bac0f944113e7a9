#include "initvl2/rollout.h"

#include "net/manifest.h"
#include "release/release_signature.h"

namespace rollout {

bool IsWellFormedId(const std::string& id) {
    if (id.size() != 2 * kIdBytes) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool PositionFor(const std::string& id, const std::string& version, uint32_t& position) {
    // Line breaks keep the two texts apart, so no other id and version run together
    // into the same bytes.
    std::string digest = release_signature::Sha256("velmora2-rollout\n" + id + "\n" + version + "\n");
    if (digest.empty()) return false;
    const unsigned char* first = reinterpret_cast<const unsigned char*>(digest.data());
    position = static_cast<uint32_t>(first[0]) << 24 | static_cast<uint32_t>(first[1]) << 16 |
               static_cast<uint32_t>(first[2]) << 8 | static_cast<uint32_t>(first[3]);
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
