// What the progress page shows for the work done so far: the fill of the bar and
// which of the nine slides. The bar moves in steps of 40 pixels, the whole 400 at
// the last step; the download alone covers the first eight slides in proportion to
// its bytes, and the unpacking the rest in proportion to its entries.
#pragma once

namespace install {

struct ProgressDisplay {
    int fillWidth;
    int slide;  // 1 to 9; 0 when nothing is shown yet
};

inline bool operator==(ProgressDisplay a, ProgressDisplay b) { return a.fillWidth == b.fillWidth && a.slide == b.slide; }
inline bool operator!=(ProgressDisplay a, ProgressDisplay b) { return !(a == b); }

// Nothing reached yet: every step's display lies beyond it.
constexpr ProgressDisplay kNothingShown = {0, 0};

constexpr int kFillPerStep = 40;
constexpr int kFullFill = 400;
constexpr int kLastProgressStep = 9;
// The download alone moves the display from the first step's to the eighth's.
constexpr int kDownloadSlides = 8;

// The display of a progress step (1 to 9).
ProgressDisplay DisplayForStep(int step);

// What `received` of `total` bytes show: the fill from 40 to 320 pixels in
// proportion, each of the eight slides for an eighth of the bytes. An unknown
// total (0) shows nothing, so that the steps alone are drawn.
ProgressDisplay DisplayForBytes(unsigned long long received, unsigned long long total);

// Whichever lies further, part by part: the display never goes back.
ProgressDisplay Further(ProgressDisplay a, ProgressDisplay b);

// The first step whose display is nowhere behind `shown`: where the steps go on
// from once the download has ended, without the bar shrinking or a slide coming back.
int StepCovering(ProgressDisplay shown);

// The unpacking's display: from the step covering what the download reached to
// the last step, in whole steps, in proportion to the entries done (a count below
// 0: not known yet).
ProgressDisplay DisplayForEntries(ProgressDisplay downloaded, int done, int count);

}  // namespace install
