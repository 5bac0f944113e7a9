// Which machines take a release that the vendor rolls out to a share of them.
//
// Each Windows user has a random id of its own (32 lower-case hexadecimal digits,
// kept in the registry and never sent anywhere). For a release, the id and the
// release's version give a position, spread evenly from 0 to 2^32 - 1 by SHA-256; the
// machine takes the release when its position falls within the first `percentage`
// hundredths of that range. Widening a release only adds machines, since a position
// never changes for the same release; and since the version takes part, each release
// picks its early machines afresh, so no machine is always among the first.
#pragma once

#include <cstdint>
#include <string>

namespace rollout {

constexpr size_t kIdBytes = 16;

// 32 digits 0-9 and a-f, nothing else: the only spelling of an id that is kept.
bool IsWellFormedId(const std::string& id);

// The machine's position for a release. False when the crypto library cannot be
// started.
bool PositionFor(const std::string& id, const std::string& version, uint32_t& position);

// True when `position` lies within the first `percentage` hundredths of the range:
// never at 0 or below, always at 100 or above.
bool IsWithin(uint32_t position, int percentage);

// PositionFor and IsWithin together. A machine whose position cannot be worked out
// (no well-formed id, no crypto library) does not take a partial release: held back
// is the safe side.
bool TakesRelease(const std::string& id, const std::string& version, int percentage);

}  // namespace rollout
