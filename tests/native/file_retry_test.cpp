// Files another process holds for a while are waited for, with a growing pause and
// a bound, and what fails for good fails at once.
#include <vector>

#include "framework/file_retry.h"
#include "tests/check.h"

using file_retry::Try;

TEST_CASE(file_retry, a_file_held_for_a_while_is_waited_for_and_a_lasting_failure_is_not) {
    struct Row {
        const char* what;
        int heldTries;        // tries that find the file held before the outcome
        Try outcome;          // what the try after them gives
        bool done;
        std::vector<unsigned> pauses;
    } rows[] = {
        {"free at once", 0, Try::Done, true, {}},
        {"held three times", 3, Try::Done, true, {50, 100, 200}},
        {"held seven times: the pause stops growing at two seconds", 7, Try::Done, true,
         {50, 100, 200, 400, 800, 1600, 2000}},
        {"gone for good at the first try", 0, Try::Failed, false, {}},
        {"gone for good after being held", 2, Try::Failed, false, {50, 100}},
    };
    for (const Row& row : rows) {
        int tries = 0;
        std::vector<unsigned> pauses;
        bool done = file_retry::WhileHeld(
            [&] { return tries++ < row.heldTries ? Try::Held : row.outcome; },
            [&](unsigned milliseconds) { pauses.push_back(milliseconds); });
        if (done != row.done || pauses != row.pauses) CHECK_EQ(std::string(row.what), std::string("as the row says"));
        CHECK_EQ(tries, row.heldTries + 1);
    }
}

TEST_CASE(file_retry, a_file_held_for_ever_fails_after_twenty_seconds_of_pauses) {
    unsigned waited = 0, longest = 0;
    int tries = 0;
    bool done = file_retry::WhileHeld([&] { ++tries; return Try::Held; },
                                      [&](unsigned milliseconds) {
                                          waited += milliseconds;
                                          if (milliseconds > longest) longest = milliseconds;
                                      });
    CHECK(!done);
    CHECK_EQ(waited, file_retry::kAllPausesMilliseconds);
    CHECK_EQ(longest, file_retry::kLongestPauseMilliseconds);
    // Asked once more after the last pause, so that the whole wait counts.
    CHECK(tries > 10 && tries < 20);
}
