// Which machines take a partial release: over many random ids each percentage gets
// its share, widening only adds machines, and each release picks its own.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "framework/text.h"
#include "initvl2/rollout.h"
#include "tests/check.h"

namespace {

constexpr int kMachines = 100000;

// Ids as machines draw them: 16 random bytes in lower-case hexadecimal. Seeded, so
// that a failure can be run again.
std::vector<std::string> RandomIds(unsigned seed, int count) {
    std::mt19937_64 random(seed);
    std::vector<std::string> ids;
    ids.reserve(count);
    for (int i = 0; i < count; ++i)
        ids.push_back(text::Format("%016llx%016llx", static_cast<unsigned long long>(random()),
                                   static_cast<unsigned long long>(random())));
    return ids;
}

std::vector<uint32_t> Positions(const std::vector<std::string>& ids, const std::string& version) {
    std::vector<uint32_t> positions;
    for (const std::string& id : ids) {
        uint32_t position = 0;
        CHECK(rollout::PositionFor(id, version, position));
        positions.push_back(position);
    }
    return positions;
}

}  // namespace

TEST_CASE(rollout, each_percentage_takes_its_share_of_a_hundred_thousand_machines_within_half_a_point) {
    std::vector<uint32_t> positions = Positions(RandomIds(20070115, kMachines), "2.02");
    for (int percentage = 1; percentage <= 99; ++percentage) {
        int taking = 0;
        for (uint32_t position : positions) taking += rollout::IsWithin(position, percentage) ? 1 : 0;
        double share = 100.0 * taking / kMachines;
        if (share < percentage - 0.5 || share > percentage + 0.5)
            check::Fail(__FILE__, __LINE__, text::Format("%d%% took %.2f%% of the machines", percentage, share));
    }
}

TEST_CASE(rollout, widening_only_adds_machines_and_the_ends_are_none_and_all) {
    std::vector<uint32_t> positions = Positions(RandomIds(7, 2000), "2.02");
    positions.push_back(0);
    positions.push_back(UINT32_MAX);
    for (uint32_t position : positions) {
        CHECK(!rollout::IsWithin(position, 0));
        CHECK(!rollout::IsWithin(position, -3));
        CHECK(rollout::IsWithin(position, 100));
        CHECK(rollout::IsWithin(position, 250));
        for (int percentage = 1; percentage < 100; ++percentage)
            if (rollout::IsWithin(position, percentage)) CHECK(rollout::IsWithin(position, percentage + 1));
    }
    CHECK(rollout::IsWithin(0, 1));
    CHECK(!rollout::IsWithin(UINT32_MAX, 99));
}

TEST_CASE(rollout, each_release_picks_its_early_machines_afresh) {
    // Were the version left out, the same tenth would take every release first.
    std::vector<std::string> ids = RandomIds(42, 20000);
    std::vector<uint32_t> first = Positions(ids, "2.02");
    std::vector<uint32_t> second = Positions(ids, "2.03");
    std::vector<uint32_t> again = Positions(ids, "2.02");
    int inFirst = 0, inBoth = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        CHECK_EQ(again[i], first[i]);  // a machine keeps its place for a release
        bool a = rollout::IsWithin(first[i], 10), b = rollout::IsWithin(second[i], 10);
        inFirst += a ? 1 : 0;
        inBoth += a && b ? 1 : 0;
    }
    // Independent picks share about a tenth of a tenth.
    CHECK(inFirst > 1800 && inFirst < 2200);
    CHECK(inBoth > 120 && inBoth < 280);
}

TEST_CASE(rollout, only_thirty_two_lower_case_hexadecimal_digits_are_an_id) {
    struct Row {
        std::string id;
        bool wellFormed;
    } rows[] = {
        {"0123456789abcdef0123456789abcdef", true},
        {"ffffffffffffffffffffffffffffffff", true},
        {"0123456789ABCDEF0123456789abcdef", false},
        {"0123456789abcdef0123456789abcde", false},
        {"0123456789abcdef0123456789abcdef0", false},
        {" 123456789abcdef0123456789abcdef", false},
        {"0123456789abcdef0123456789abcdeg", false},
        {std::string("0123456789abcdef\0" "123456789abcdef", 32), false},
        {"", false},
    };
    for (const Row& row : rows)
        if (rollout::IsWellFormedId(row.id) != row.wellFormed)
            check::Fail(__FILE__, __LINE__, "judged wrongly: " + check::Show(row.id));
}

TEST_CASE(rollout, a_machine_without_a_well_formed_id_takes_only_a_whole_release) {
    for (const char* id : {"", "not an id"}) {
        CHECK(!rollout::TakesRelease(id, "2.02", 99));
        CHECK(rollout::TakesRelease(id, "2.02", 100));
    }
    // A well-formed id at the edges, and in between as its position says.
    std::string id = RandomIds(1, 1)[0];
    uint32_t position = 0;
    CHECK(rollout::PositionFor(id, "2.02", position));
    CHECK(!rollout::TakesRelease(id, "2.02", 0));
    for (int percentage = 1; percentage < 100; ++percentage)
        CHECK_EQ(rollout::TakesRelease(id, "2.02", percentage), rollout::IsWithin(position, percentage));
}
