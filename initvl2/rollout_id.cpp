#include "initvl2/rollout_id.h"

#include <windows.h>
#include <ntsecapi.h>  // RtlGenRandom, advapi32's SystemFunction036

#include "app/registry_store.h"
#include "release/release_encoding.h"
#include "initvl2/rollout.h"

namespace rollout {

std::string MachineRolloutId() {
    std::string kept = ReadSetting(SettingKind::RolloutId);
    if (IsWellFormedId(kept)) return kept;
    // The system's generator, which Windows keeps ready: the crypto library would
    // first gather entropy of its own, for 16 bytes that guard no secret.
    unsigned char bytes[kIdBytes];
    if (!RtlGenRandom(bytes, sizeof bytes)) return "";
    std::string id = release_encoding::EncodeHex(std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    WriteSetting(SettingKind::RolloutId, "", id);
    return id;
}

}  // namespace rollout
