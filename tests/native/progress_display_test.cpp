// What the progress page shows for the download's bytes and the design's steps.
#include <cstdio>

#include "install/progress_display.h"
#include "tests/check.h"

using namespace install;

namespace {

bool Shows(ProgressDisplay display, int fillWidth, int slide) {
    if (display.fillWidth == fillWidth && display.slide == slide) return true;
    std::printf("    shows %d px, slide %d; expected %d px, slide %d\n", display.fillWidth, display.slide, fillWidth,
                slide);
    return false;
}

}  // namespace

TEST_CASE(progress_display, the_fill_grows_from_40_to_320_pixels_in_proportion_to_the_bytes) {
    CHECK(Shows(DisplayForBytes(0, 1000), 40, 1));
    CHECK(Shows(DisplayForBytes(250, 1000), 110, 3));
    CHECK(Shows(DisplayForBytes(500, 1000), 180, 5));
    CHECK(Shows(DisplayForBytes(1000, 1000), 320, 8));
    int lastFill = 0;
    for (unsigned received = 0; received <= 1000; received += 7) {
        int fill = DisplayForBytes(received, 1000).fillWidth;
        CHECK(fill >= lastFill);
        lastFill = fill;
    }
}

TEST_CASE(progress_display, each_of_the_eight_slides_stands_for_an_eighth_of_the_bytes) {
    CHECK_EQ(DisplayForBytes(124, 1000).slide, 1);
    CHECK_EQ(DisplayForBytes(125, 1000).slide, 2);
    CHECK_EQ(DisplayForBytes(874, 1000).slide, 7);
    CHECK_EQ(DisplayForBytes(875, 1000).slide, 8);
    CHECK_EQ(DisplayForBytes(999, 1000).slide, 8);
}

TEST_CASE(progress_display, an_unknown_total_leaves_the_steps_display_alone) {
    CHECK(DisplayForBytes(5000, 0) == kNothingShown);
    CHECK(Shows(Further(DisplayForStep(1), DisplayForBytes(5000, 0)), 40, 1));
}

TEST_CASE(progress_display, more_bytes_than_the_total_or_totals_near_4_gb_stay_within_the_bar) {
    CHECK(Shows(DisplayForBytes(2000, 1000), 320, 8));
    CHECK(Shows(DisplayForBytes(4000000000u, 4000000000u), 320, 8));
    CHECK(Shows(DisplayForBytes(2000000000u, 4000000000u), 180, 5));
}

TEST_CASE(progress_display, the_steps_show_40_pixels_each_and_the_whole_bar_at_the_last) {
    CHECK(Shows(DisplayForStep(1), 40, 1));
    CHECK(Shows(DisplayForStep(8), 320, 8));
    CHECK(Shows(DisplayForStep(kLastProgressStep), 400, 9));
}

TEST_CASE(progress_display, the_further_display_is_taken_part_by_part) {
    CHECK(Shows(Further({200, 3}, {160, 5}), 200, 5));
    CHECK(Shows(Further(kNothingShown, {40, 1}), 40, 1));
}

TEST_CASE(progress_display, the_steps_go_on_from_the_reached_display_without_going_back) {
    CHECK_EQ(StepCovering(kNothingShown), 1);
    CHECK_EQ(StepCovering({40, 1}), 1);
    CHECK_EQ(StepCovering({41, 1}), 2);
    CHECK_EQ(StepCovering({40, 2}), 2);
    CHECK_EQ(StepCovering({180, 5}), 5);
    CHECK_EQ(StepCovering({320, 8}), 8);
    for (unsigned received = 0; received <= 1000; received += 13) {
        ProgressDisplay reached = DisplayForBytes(received, 1000);
        int step = StepCovering(reached);
        CHECK(Further(DisplayForStep(step), reached) == DisplayForStep(step));
        // No further than needed: the step before lies behind what was shown.
        if (step > 1) CHECK(Further(DisplayForStep(step - 1), reached) != DisplayForStep(step - 1));
    }
}

TEST_CASE(progress_display, without_a_known_size_the_entries_alone_move_the_steps_to_the_last) {
    CHECK(DisplayForEntries(DisplayForStep(1), 0, 80) == DisplayForStep(1));
    CHECK(DisplayForEntries(DisplayForStep(1), 40, 80) == DisplayForStep(5));
    CHECK(DisplayForEntries(DisplayForStep(1), 79, 80) == DisplayForStep(8));
    CHECK(DisplayForEntries(DisplayForStep(1), 80, 80) == DisplayForStep(kLastProgressStep));
    // After a whole download the last step waits for the last entry.
    CHECK(DisplayForEntries(DisplayForBytes(1000, 1000), 299, 300) == DisplayForStep(8));
    CHECK(DisplayForEntries(DisplayForBytes(1000, 1000), 0, 0) == DisplayForStep(kLastProgressStep));
    CHECK(DisplayForEntries(DisplayForBytes(1000, 1000), 0, -1) == DisplayForBytes(1000, 1000));
}
