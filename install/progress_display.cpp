#include "install/progress_display.h"

namespace install {

namespace {

constexpr int kDownloadedFill = kFillPerStep * kDownloadSlides;

}  // namespace

ProgressDisplay DisplayForStep(int step) {
    if (step >= kLastProgressStep) return {kFullFill, kLastProgressStep};
    if (step < 1) step = 1;
    return {kFillPerStep * step, step};
}

ProgressDisplay DisplayForBytes(unsigned long long received, unsigned long long total) {
    if (total == 0) return kNothingShown;
    unsigned long long share = received < total ? received : total;
    int fill = kFillPerStep + static_cast<int>((kDownloadedFill - kFillPerStep) * share / total);
    int slide = 1 + static_cast<int>(kDownloadSlides * share / total);
    return {fill, slide < kDownloadSlides ? slide : kDownloadSlides};
}

ProgressDisplay Further(ProgressDisplay a, ProgressDisplay b) {
    return {a.fillWidth > b.fillWidth ? a.fillWidth : b.fillWidth, a.slide > b.slide ? a.slide : b.slide};
}

int StepCovering(ProgressDisplay shown) {
    int step = 1;
    while (step < kLastProgressStep && Further(DisplayForStep(step), shown) != DisplayForStep(step)) ++step;
    return step;
}

ProgressDisplay DisplayForEntries(ProgressDisplay downloaded, int done, int count) {
    int first = StepCovering(downloaded);
    if (count < 0) return Further(downloaded, DisplayForStep(first));  // the package is not open yet
    if (done >= count) return DisplayForStep(kLastProgressStep);
    if (done < 0) done = 0;
    int step = first + static_cast<int>(static_cast<long long>(kLastProgressStep - first) * done / count);
    return Further(downloaded, DisplayForStep(step));
}

}  // namespace install
