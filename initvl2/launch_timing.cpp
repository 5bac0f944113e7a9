#include "initvl2/launch_timing.h"

#include <windows.h>

#include <cstdio>

namespace {
long long Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}
}  // namespace

LaunchTiming::LaunchTiming() {
    char path[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("VL2_LAUNCH_TIMING", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    file_ = path;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frequency_ = frequency.QuadPart;
    // The first step counts from the process's own start, which includes loading it.
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER start = {{created.dwLowDateTime, created.dwHighDateTime}};
    ULARGE_INTEGER current = {{now.dwLowDateTime, now.dwHighDateTime}};
    double sinceStart = (current.QuadPart - start.QuadPart) / 10000.0;
    steps_.emplace_back("process start to launcher code", sinceStart);
    last_ = Now();
}

void LaunchTiming::Mark(const char* step) {
    if (file_.empty()) return;
    long long now = Now();
    steps_.emplace_back(step, (now - last_) * 1000.0 / frequency_);
    last_ = now;
}

LaunchTiming::~LaunchTiming() {
    if (file_.empty()) return;
    FILE* out = std::fopen(file_.c_str(), "a");
    if (!out) return;
    for (const auto& step : steps_) std::fprintf(out, "%s\t%.2f\n", step.first, step.second);
    std::fclose(out);
}
