#include "cvztool/adoption_chart.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "framework/text.h"

namespace adoption_chart {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 540;
constexpr double kPlotLeft = 80;
constexpr double kPlotRight = kWidth - 200;  // the legend stands to the right
constexpr double kPlotTop = 60;
constexpr double kPlotBottom = kHeight - 70;
constexpr int kWantedValueTicks = 5;
constexpr int kMostDayLabels = 7;  // "2024-05-01" needs about 70 pixels
constexpr size_t kMostDaysWithDots = 31;
constexpr double kLegendRowHeight = 22;
// The failed starts' panel, under the machines' plot when there are any.
constexpr double kPanelTop = kHeight + 40;
constexpr double kPanelBottom = kHeight + 150;
constexpr int kPanelHeight = 190;
constexpr double kWidestBar = 14;

// Ten colours that stay apart for readers with the common colour-vision deficiencies;
// later versions reuse them dashed.
const char* const kColours[] = {"#4e79a7", "#f28e2b", "#e15759", "#76b7b2", "#59a14f",
                                "#edc948", "#b07aa1", "#ff9da7", "#9c755f", "#6b6b6b"};
constexpr size_t kColourCount = sizeof kColours / sizeof kColours[0];

std::string Escaped(const std::string& raw) {
    std::string out;
    for (char c : raw) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The step between value grid lines: 1, 2 or 5 times a power of ten, giving about
// kWantedValueTicks lines up to the largest count.
uint64_t ValueStep(uint64_t largest) {
    double rough = std::max(1.0, double(largest) / kWantedValueTicks);
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    double fraction = rough / power;
    double nice = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return std::max<uint64_t>(1, static_cast<uint64_t>(nice * power));
}

// The versions beyond the newest share one series, in a grey of its own, dotted.
const char kOtherColour[] = "#a0a0a0";

// A series' colour, and its stroke with dashes when colours repeat: the versions
// take the colours in turn, other its own grey.
struct SeriesLook {
    const char* colour;
    std::string stroke;
};

SeriesLook LookOf(const std::string& label, size_t versionPosition) {
    if (label == adoption_report::kOtherLabel)
        return {kOtherColour, text::Format("stroke=\"%s\" stroke-dasharray=\"2 3\"", kOtherColour)};
    SeriesLook look{kColours[versionPosition % kColourCount], ""};
    look.stroke = text::Format("stroke=\"%s\"", look.colour);
    if (versionPosition >= kColourCount) look.stroke += " stroke-dasharray=\"6 3\"";
    return look;
}

using XOfDay = std::function<double(size_t)>;
using YOfCount = std::function<double(uint64_t)>;

// The largest count up to which a plot draws `largest`, and its grid's step.
std::pair<uint64_t, uint64_t> ValueScale(uint64_t largest) {
    uint64_t step = ValueStep(largest);
    return {std::max<uint64_t>(step, (largest + step - 1) / step * step), step};
}

// Grid lines across the plot with their counts, and the axis' name beside them.
std::string ValueGrid(uint64_t top, uint64_t step, const YOfCount& y, const char* name) {
    std::string svg;
    for (uint64_t value = 0; value <= top; value += step) {
        svg += text::Format(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#dddddd\"/>"
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%llu</text>\n",
            kPlotLeft, y(value), kPlotRight, y(value), kPlotLeft - 8, y(value) + 4, static_cast<unsigned long long>(value));
    }
    return svg + text::Format(
                     "<text transform=\"translate(20 %.1f) rotate(-90)\" text-anchor=\"middle\">%s</text>\n",
                     (y(0) + y(top)) / 2, name);
}

// The two axes of a plot, and a labelled tick under it every few days, so that
// labels never overlap.
std::string Axes(const adoption_report::AdoptionHistory& history, const XOfDay& x, double top, double bottom) {
    std::string svg;
    size_t days = history.machinesAtDayEnd.size();
    size_t labelEvery = std::max<size_t>(1, (days + kMostDayLabels - 1) / kMostDayLabels);
    for (size_t day = 0; day < days; day += labelEvery) {
        svg += text::Format(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\"/>"
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
            x(day), bottom, x(day), bottom + 5, x(day), bottom + 20,
            report_log::DayText(history.firstDay + static_cast<int32_t>(day)).c_str());
    }
    return svg + text::Format(
                     "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\"/>"
                     "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\"/>\n",
                     kPlotLeft, bottom, kPlotRight, bottom, kPlotLeft, top, kPlotLeft, bottom);
}

uint64_t MostFailedStartsInADay(const adoption_report::AdoptionHistory& history) {
    uint64_t most = 0;
    for (const auto& day : history.failedStarts) {
        uint64_t total = 0;
        for (uint64_t count : day) total += count;
        most = std::max(most, total);
    }
    return most;
}

// Under the machines, the failed starts of each day as a bar, stacked in the colours
// of the versions that failed: a release whose suite does not start shows as bars
// rising from the day it went out, which is when to halt its rollout.
std::string FailedStartsPanel(const adoption_report::AdoptionHistory& history,
                              const std::vector<SeriesLook>& looks, const XOfDay& x) {
    auto [top, step] = ValueScale(MostFailedStartsInADay(history));
    YOfCount y = [top = top](uint64_t count) {
        return kPanelBottom - (kPanelBottom - kPanelTop) * double(count) / double(top);
    };
    size_t days = history.failedStarts.size();
    double spacing = days > 1 ? (kPlotRight - kPlotLeft) / double(days - 1) : kPlotRight - kPlotLeft;
    double width = std::min(kWidestBar, 0.7 * spacing);
    std::string svg = text::Format(
        "<text x=\"%.0f\" y=\"%.1f\" font-size=\"14\" font-weight=\"bold\">Failed starts of each version per day "
        "(halt a rollout when they rise: cvztool rollout SITE 0)</text>\n",
        kPlotLeft, kPanelTop - 16);
    svg += ValueGrid(top, step, y, "failed starts");
    for (size_t day = 0; day < days; ++day) {
        uint64_t below = 0;
        std::string date = report_log::DayText(history.firstDay + static_cast<int32_t>(day));
        for (size_t series = 0; series < looks.size(); ++series) {
            uint64_t count = history.failedStarts[day][series];
            if (count == 0) continue;
            std::string version = Escaped(history.versions[series]);
            svg += text::Format(
                "<rect data-version=\"%s\" data-day=\"%s\" data-failed-starts=\"%llu\" x=\"%.1f\" y=\"%.1f\" "
                "width=\"%.1f\" height=\"%.1f\" fill=\"%s\"><title>%s on %s: %llu failed starts</title></rect>\n",
                version.c_str(), date.c_str(), static_cast<unsigned long long>(count), x(day) - width / 2,
                y(below + count), width, y(below) - y(below + count), looks[series].colour, version.c_str(), date.c_str(),
                static_cast<unsigned long long>(count));
            below += count;
        }
    }
    return svg + Axes(history, x, kPanelTop, kPanelBottom);
}

}  // namespace

std::string ChartSvg(const adoption_report::AdoptionHistory& history) {
    const auto& days = history.machinesAtDayEnd;
    uint64_t largest = 0;
    for (const auto& day : days)
        for (uint64_t count : day) largest = std::max(largest, count);
    auto [top, step] = ValueScale(largest);
    XOfDay x = [&](size_t day) {
        if (days.size() <= 1) return (kPlotLeft + kPlotRight) / 2;
        return kPlotLeft + (kPlotRight - kPlotLeft) * double(day) / double(days.size() - 1);
    };
    YOfCount y = [top = top](uint64_t count) {
        return kPlotBottom - (kPlotBottom - kPlotTop) * double(count) / double(top);
    };
    bool anyFailedStart = MostFailedStartsInADay(history) > 0;
    int height = kHeight + (anyFailedStart ? kPanelHeight : 0);

    std::string svg = text::Format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
        "font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
        "<text x=\"%.0f\" y=\"32\" font-size=\"16\" font-weight=\"bold\">Machines on each version at the end of each "
        "day</text>\n",
        kWidth, height, kWidth, height, kPlotLeft);
    svg += ValueGrid(top, step, y, "machines");
    svg += Axes(history, x, kPlotTop, kPlotBottom);
    svg += text::Format("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">day (the server's local date)</text>\n",
                        (kPlotLeft + kPlotRight) / 2, kPlotBottom + 45);
    // Reports whose machines all left again by the end of their day draw no line:
    // say so, rather than that nobody reported.
    if (days.empty() || history.versions.empty())
        svg += text::Format("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#666666\">%s</text>\n",
                            (kPlotLeft + kPlotRight) / 2, (kPlotTop + kPlotBottom) / 2,
                            days.empty() ? "no machine has reported"
                                         : "no machine was on a version at the end of a day");

    if (!history.versions.empty())
        svg += text::Format("<text x=\"%.1f\" y=\"%.1f\" fill=\"#666666\">version (machines now)</text>\n",
                            kPlotRight + 20, kPlotTop - 8);
    std::vector<SeriesLook> looks;
    size_t versionPosition = 0;
    for (const std::string& label : history.versions) {
        looks.push_back(LookOf(label, versionPosition));
        if (label != adoption_report::kOtherLabel) ++versionPosition;
    }
    // One line per version that held machines; dots too when the days are few
    // enough to tell apart. A version that only failed to start has its legend.
    for (size_t series = 0; series < history.versions.size(); ++series) {
        std::string version = Escaped(history.versions[series]);
        const std::string& style = looks[series].stroke;
        bool held = std::any_of(days.begin(), days.end(), [series](const auto& day) { return day[series] > 0; });
        if (held) {
            svg += text::Format("<g data-series=\"%s\"><title>%s</title>\n<polyline data-version=\"%s\" fill=\"none\" "
                                "stroke-width=\"2.5\" stroke-linejoin=\"round\" %s points=\"",
                                version.c_str(), version.c_str(), version.c_str(), style.c_str());
            for (size_t day = 0; day < days.size(); ++day)
                svg += text::Format("%s%.1f,%.1f", day ? " " : "", x(day), y(days[day][series]));
            svg += "\"/>\n";
            if (days.size() <= kMostDaysWithDots)
                for (size_t day = 0; day < days.size(); ++day)
                    svg += text::Format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"/>", x(day),
                                        y(days[day][series]), looks[series].colour);
            svg += "</g>\n";
        }

        // The legend names the version and its machines at the end of the last day.
        double rowY = kPlotTop + 10 + kLegendRowHeight * double(series);
        svg += text::Format(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke-width=\"4\" %s/>"
            "<text x=\"%.1f\" y=\"%.1f\">%s (%llu)</text>\n",
            kPlotRight + 20, rowY, kPlotRight + 44, rowY, style.c_str(), kPlotRight + 52, rowY + 4, version.c_str(),
            static_cast<unsigned long long>(days.empty() ? 0 : days.back()[series]));
    }
    if (anyFailedStart) svg += FailedStartsPanel(history, looks, x);
    svg += "</svg>\n";
    return svg;
}

}  // namespace adoption_chart
