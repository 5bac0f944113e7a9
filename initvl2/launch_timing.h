// Where a start of the launcher spends its time, step by step, for the start-up
// benchmark. Asked for by naming a file in the environment variable
// VL2_LAUNCH_TIMING; unset, each mark costs one comparison and nothing is written.
#pragma once

#include <string>
#include <vector>

class LaunchTiming {
 public:
    LaunchTiming();
    // Appends the steps to the file, one "step<TAB>milliseconds" line each, when asked for.
    ~LaunchTiming();
    LaunchTiming(const LaunchTiming&) = delete;
    LaunchTiming& operator=(const LaunchTiming&) = delete;

    // Ends the step that ran since the last mark (or since the program started).
    void Mark(const char* step);

 private:
    std::string file_;
    std::vector<std::pair<const char*, double>> steps_;
    long long last_ = 0;
    long long frequency_ = 0;
};
