// The user's rollout id in the real registry: drawn once and kept, drawn again when
// it is missing or not well formed, and different for each user who draws one.
#include <windows.h>

#include <string>

#include "initvl2/rollout.h"
#include "initvl2/rollout_id.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

const char kInfoKey[] = "Software\\CORVALEN\\VELMORA2\\INFO";

std::string StoredId() { return test_support::Query(HKEY_CURRENT_USER, kInfoKey, "ROLLOUTID").bytes; }

void Store(const std::string& id) {
    HKEY key;
    CHECK(RegCreateKeyA(HKEY_CURRENT_USER, kInfoKey, &key) == ERROR_SUCCESS);
    RegSetValueExA(key, "ROLLOUTID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.data()),
                   static_cast<DWORD>(id.size()));
    RegCloseKey(key);
}

void Forget() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInfoKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, "ROLLOUTID");
    RegCloseKey(key);
}

}  // namespace

TEST_CASE(rollout_id, a_missing_id_is_drawn_kept_and_then_read_back_unchanged) {
    Forget();
    std::string drawn = rollout::MachineRolloutId();
    CHECK(rollout::IsWellFormedId(drawn));
    CHECK_EQ(StoredId(), drawn);
    CHECK_EQ(rollout::MachineRolloutId(), drawn);
    CHECK_EQ(StoredId(), drawn);
}

TEST_CASE(rollout_id, an_id_that_is_not_well_formed_is_drawn_anew) {
    const char* kept = "0123456789abcdef0123456789abcdef";
    Store(kept);
    CHECK_EQ(rollout::MachineRolloutId(), std::string(kept));
    for (const char* malformed :
         {"0123456789ABCDEF0123456789ABCDEF", "0123456789abcdef", "", " 0123456789abcdef0123456789abcde"}) {
        Store(malformed);
        std::string drawn = rollout::MachineRolloutId();
        CHECK(rollout::IsWellFormedId(drawn));
        CHECK_EQ(StoredId(), drawn);
    }
}

TEST_CASE(rollout_id, users_who_draw_an_id_each_get_another_one) {
    // As after a removal, which takes the suite's whole key with it.
    std::string seen[8];
    for (std::string& id : seen) {
        Forget();
        id = rollout::MachineRolloutId();
        CHECK(rollout::IsWellFormedId(id));
    }
    for (int i = 0; i < 8; ++i)
        for (int j = i + 1; j < 8; ++j) CHECK(seen[i] != seen[j]);
}
