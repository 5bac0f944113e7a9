// The single-instance rule: which listed copy of the launcher a start hands over to.
#include "install/running_copy.h"
#include "tests/check.h"

using install::RunningCopyToHandOver;
using install::SessionAnswer;

namespace {

// Processes 100 to 199 run in this session, 200 and up in another, 0 to 99 cannot be told.
SessionAnswer ByRange(unsigned long id) {
    if (id >= 200) return SessionAnswer::OtherSession;
    return id >= 100 ? SessionAnswer::ThisSession : SessionAnswer::Unknown;
}

}  // namespace

TEST_CASE(running_copy, a_copy_in_another_session_is_passed_over) {
    CHECK_EQ(RunningCopyToHandOver({250, 150}, 150, ByRange), 0ul);
    CHECK_EQ(RunningCopyToHandOver({250}, 150, ByRange), 0ul);
}

TEST_CASE(running_copy, a_copy_in_this_session_listed_first_is_handed_over_to) {
    CHECK_EQ(RunningCopyToHandOver({250, 120, 150}, 150, ByRange), 120ul);
}

TEST_CASE(running_copy, this_process_listed_first_goes_on_whatever_follows) {
    CHECK_EQ(RunningCopyToHandOver({150, 120}, 150, ByRange), 0ul);
}

TEST_CASE(running_copy, a_copy_whose_session_cannot_be_told_still_counts) {
    CHECK_EQ(RunningCopyToHandOver({250, 42, 150}, 150, ByRange), 42ul);
}

TEST_CASE(running_copy, without_sessions_the_first_listed_process_decides_as_before) {
    CHECK_EQ(RunningCopyToHandOver({250, 150}, 150, nullptr), 250ul);
    CHECK_EQ(RunningCopyToHandOver({150, 250}, 150, nullptr), 0ul);
    CHECK_EQ(RunningCopyToHandOver({}, 150, nullptr), 0ul);
}
