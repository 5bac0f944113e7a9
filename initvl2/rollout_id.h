// The rollout id of the Windows user: the string value ROLLOUTID under the suite's
// INFO key. It decides only which releases of a partial rollout this machine takes
// first, and never leaves the machine.
#pragma once

#include <string>

namespace rollout {

// The kept id; made with the system's random generator and kept when it is missing
// or not 32 lower-case hexadecimal digits. The uninstaller removes the suite's whole
// key, so a machine installed again draws a new one, which only shuffles it among
// the others. "" when the system gives no random bytes.
std::string MachineRolloutId();

}  // namespace rollout
