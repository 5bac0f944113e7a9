// How large a package may be. cvztool refuses to release a larger one, and the
// installer stops a download that goes past it when the release names no size of
// its own (its signed file list does): a server that streams for ever fills no disk.
// The reader takes 32-bit sizes, and a suite of a few dozen megabytes stays far
// below the bound.
#pragma once

#include <cstdint>

namespace package_limits {

constexpr uint64_t kLargestPackageBytes = 1ull << 30;

}  // namespace package_limits
