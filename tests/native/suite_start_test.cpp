// Whether a suite started after a switch counts as started.
#include "install/suite_start.h"
#include "tests/check.h"

using install::JudgeStart;
using install::StartHealth;

TEST_CASE(suite_start, a_new_suite_that_shows_its_window_or_still_runs_has_started_and_one_that_ends_first_has_not) {
    CHECK(JudgeStart(true, true, false) == StartHealth::Started);
    CHECK(JudgeStart(true, false, false) == StartHealth::Started);  // a slow start: it still runs
    CHECK(JudgeStart(true, false, true) == StartHealth::EndedEarly);
    CHECK(JudgeStart(false, false, false) == StartHealth::NotCreated);
}
