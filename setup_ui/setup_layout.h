// Everything the setup window's design fixes: control and command ids, timers,
// where each control and the terms window stand, and which page a step shows.
#pragma once

#include <windows.h>

namespace setup_layout {

// Image labels 1001 to 1014 (type "MAINS"), each drawn from the image of its id.
constexpr int kBaseImage = 1001;          // the transparent base every frame starts from
constexpr int kProgressFill = 1002;       // the 10-pixel tile stretched into the progress bar
constexpr int kTermsPage = 1003;
constexpr int kProgressPage = 1004;
constexpr int kFirstSlide = 1005;         // 1005 to 1013: the slideshow
constexpr int kCompletionPage = 1014;
constexpr int kFirstLabel = kBaseImage;
constexpr int kLabelCount = 14;

// Image buttons 1201 to 1205 (type "MAINB"); their clicks are the commands.
constexpr int kFinishButton = 1201;
constexpr int kStartButton = 1202;
constexpr int kDeclineButton = 1203;
constexpr int kBoxOff = 1204;  // the acceptance box, unticked: a click ticks it
constexpr int kBoxOn = 1205;
constexpr int kFirstButton = kFinishButton;
constexpr int kButtonCount = 5;

// Runs the install sequence of an update; no control has this id.
constexpr int kUpdateCommand = 1200;
constexpr int kFirstCommand = kUpdateCommand;
constexpr int kLastCommand = kBoxOn;

// Timers of the setup window and of the terms window.
constexpr UINT_PTR kTermsPageTimer = 2001;    // opens the terms page once the window exists
constexpr UINT_PTR kCompletionTimer = 2002;   // counts the progress up to the completion page
constexpr UINT_PTR kUpdateStartTimer = 2003;  // starts an update's download once the window exists
constexpr UINT_PTR kDownloadWatchTimer = 2004;  // looks for a download that stopped delivering data
constexpr UINT_PTR kProgressDisplayTimer = 2005;  // shows the bytes received, at most ten times a second
constexpr UINT_PTR kTermsPlacementTimer = 2006;
// The terms window is placed this long after it is filled, once its text is laid out.
constexpr UINT kTermsPlacementDelayMilliseconds = 10;

struct Place {
    int id, x, y;
};

// Where each skin control stands; its size is its image's.
constexpr Place kPlaces[] = {
    {1001, 0, 0},    {1002, 26, 79},  {1003, 0, 0},    {1004, 0, 0},    {1005, 18, 100}, {1006, 18, 100},
    {1007, 18, 100}, {1008, 18, 100}, {1009, 18, 100}, {1010, 18, 100}, {1011, 18, 100}, {1012, 18, 100},
    {1013, 18, 100}, {1014, 0, 0},    {1201, 180, 225}, {1202, 286, 223}, {1203, 358, 223}, {1204, 25, 231},
    {1205, 25, 231},
};

// The terms window lies exactly over the terms page's white text area.
constexpr int kTermsLeft = 25, kTermsTop = 90, kTermsWidth = 405, kTermsHeight = 130;

// The progress bar: 40 pixels a step, the whole 400 at the last one.
constexpr int kFillPerStep = 40;
constexpr int kFullFill = 400;

// The page a value of the step counter shows: the terms at 0, progress with the
// slideshow from 1 to 9, the completion page from 10 on.
enum class SetupPage { Terms, Progress, Completion };
constexpr int kLastProgressStep = 9;
constexpr int kCompletionStep = 10;

inline SetupPage PageForStep(int step) {
    if (step <= 0) return SetupPage::Terms;
    return step <= kLastProgressStep ? SetupPage::Progress : SetupPage::Completion;
}

// What the progress page shows: the fill's width and the slide, 1 to 9.
struct ProgressDisplay {
    int fillWidth;
    int slide;
};

inline bool operator==(ProgressDisplay a, ProgressDisplay b) { return a.fillWidth == b.fillWidth && a.slide == b.slide; }
inline bool operator!=(ProgressDisplay a, ProgressDisplay b) { return !(a == b); }

// Nothing reached yet: every step's display lies beyond it.
constexpr ProgressDisplay kNothingShown = {0, 0};

// The download alone moves the display from the first step's to the eighth's; the
// last step stays for the unpacking and the count to the completion page.
constexpr int kDownloadSlides = 8;
constexpr int kDownloadedFill = kFillPerStep * kDownloadSlides;

// The display of a progress step (1 to 9).
inline ProgressDisplay DisplayForStep(int step) {
    if (step >= kLastProgressStep) return {kFullFill, kLastProgressStep};
    if (step < 1) step = 1;
    return {kFillPerStep * step, step};
}

// What `received` of `total` bytes show: the fill from 40 to 320 pixels in
// proportion, each of the eight slides for an eighth of the bytes. An unknown
// total (0) shows nothing, so that the steps alone are drawn.
inline ProgressDisplay DisplayForBytes(unsigned received, unsigned total) {
    if (total == 0) return kNothingShown;
    unsigned long long share = received < total ? received : total;
    int fill = kFillPerStep + static_cast<int>((kDownloadedFill - kFillPerStep) * share / total);
    int slide = 1 + static_cast<int>(kDownloadSlides * share / total);
    return {fill, slide < kDownloadSlides ? slide : kDownloadSlides};
}

// Whichever lies further, part by part: the display never goes back.
inline ProgressDisplay Further(ProgressDisplay a, ProgressDisplay b) {
    return {a.fillWidth > b.fillWidth ? a.fillWidth : b.fillWidth, a.slide > b.slide ? a.slide : b.slide};
}

// The first step whose display is nowhere behind `shown`: where the steps go on
// from once the download has ended, without the bar shrinking or a slide coming back.
inline int StepCovering(ProgressDisplay shown) {
    int step = 1;
    while (step < kLastProgressStep && Further(DisplayForStep(step), shown) != DisplayForStep(step)) ++step;
    return step;
}

}  // namespace setup_layout
