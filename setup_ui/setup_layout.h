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

constexpr int kFirstCommand = kFinishButton;
constexpr int kLastCommand = kBoxOn;

// Timers of the setup window and of the terms window.
constexpr UINT_PTR kTermsPageTimer = 2001;  // opens the terms page once the window exists
constexpr UINT_PTR kRunTimer = 2005;        // shows where the install run stands and moves it on
constexpr UINT_PTR kTermsPlacementTimer = 2006;

// The terms page opens this long after the window, once its first frame is up;
// the terms window is placed this long after it is filled, once its text is laid out.
constexpr UINT kTermsPageDelayMilliseconds = 10;
constexpr UINT kTermsPlacementDelayMilliseconds = 10;
// The run is looked at this often: often enough for the bar to move smoothly,
// seldom enough that composing frames costs next to nothing.
constexpr UINT kRunMilliseconds = 100;
// The whole bar stays this long before the completion page, so that it is seen.
constexpr DWORD kWholeBarMilliseconds = 300;

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

// The pages of the window: the terms, progress with the slideshow, completion.
enum class SetupPage { Terms, Progress, Completion };

}  // namespace setup_layout
