// The suite's quit request, as the launcher's switch and the uninstaller both make
// it: the message to the suite's window, answered or not within a bound (a hung
// suite must not hang whoever asks), then a bounded wait for the suite's process to
// end, so that what follows never sees its predecessor still running.
#pragma once

namespace install {

enum class SuiteQuit {
    NotRunning,  // no suite window was found: nothing was asked
    Ended,       // every copy of the suite ended within the bound
    StillRuns,   // a copy is still there when its bound has passed
};

// How long the suite may take to answer the request, and then to end.
constexpr unsigned kQuitAnswerMilliseconds = 5000;
constexpr unsigned kSuiteEndMilliseconds = 10000;

SuiteQuit AskSuiteToQuit(unsigned answerMilliseconds = kQuitAnswerMilliseconds,
                         unsigned endMilliseconds = kSuiteEndMilliseconds);

}  // namespace install
