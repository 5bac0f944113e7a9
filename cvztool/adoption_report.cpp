#include "cvztool/adoption_report.h"

#include <algorithm>

#include "app/version_text.h"
#include "cvztool/release_version.h"
#include "framework/text.h"

namespace adoption_report {

using report_log::ReportKind;

// A release could be named so too: its reports would share this row.
const char kOtherLabel[] = "other";
// No version that cvztool release accepts, so it cannot stand for a real one.
const char kNoVersionLabel[] = "?";

bool InstallerOrder(const std::string& a, const std::string& b) {
    int byPrefix = text::MbsCompare(version_text::Prefix(a), version_text::Prefix(b));
    if (byPrefix != 0) return byPrefix < 0;
    return text::MbsCompare(a, b) < 0;
}

AdoptionTally::AdoptionTally() : rows_(kFirstVersionRow), machinesOn_(kFirstVersionRow + kMostVersions, 0) {
    rows_[kOtherRow].label = kOtherLabel;
    rows_[kNoVersionRow].label = kNoVersionLabel;
}

AdoptionTally::Row AdoptionTally::RowFor(const report_log::Jaehuid& jaehuid) {
    const std::string& version = jaehuid.version;
    if (version.empty() && jaehuid.kind == ReportKind::Removal) return kNoVersionRow;
    if (version == kOtherLabel || !release_version::IsReleasable(version)) return kOtherRow;
    auto found = versionRows_.find(version);
    if (found != versionRows_.end()) return found->second;
    Row row = static_cast<Row>(rows_.size());
    if (versionRows_.size() >= kMostVersions) {
        // The oldest version keeps its row only while it is one of the newest. The
        // oldest that has a row only gets newer, so a version that went to other
        // never comes back with half its figures.
        Row oldest = kOnNoVersion;
        for (const auto& entry : versionRows_)
            if (oldest == kOnNoVersion || InstallerOrder(entry.first, rows_[oldest].label)) oldest = entry.second;
        if (InstallerOrder(version, rows_[oldest].label)) return kOtherRow;
        FoldIntoOther(oldest);
        row = oldest;
    } else {
        rows_.emplace_back();
    }
    rows_[row].label = version;
    versionRows_.emplace(version, row);
    return row;
}

void AdoptionTally::FoldIntoOther(Row row) {
    rows_[kOtherRow].reached = true;
    auto first = daily_.lower_bound({row, INT32_MIN});
    auto end = daily_.lower_bound({row + 1, INT32_MIN});
    for (auto at = first; at != end; ++at) {
        DayFigures& other = daily_[{kOtherRow, at->first.second}];
        other.installs += at->second.installs;
        other.updates += at->second.updates;
        other.removals += at->second.removals;
        other.failedStarts += at->second.failedStarts;
    }
    daily_.erase(first, end);
    for (auto& dayEnd : dayEnds_) {
        dayEnd.second[kOtherRow] += dayEnd.second[row];
        dayEnd.second[row] = 0;
    }
    machinesOn_[kOtherRow] += machinesOn_[row];
    machinesOn_[row] = 0;
    ++rows_[row].generation;
    versionRows_.erase(rows_[row].label);
}

AdoptionTally::Row AdoptionTally::RowOf(const MachineState& machine) const {
    if (machine.row == kOnNoVersion) return kOnNoVersion;
    return machine.generation == rows_[machine.row].generation ? machine.row : kOtherRow;
}

void AdoptionTally::Add(const report_log::ReportEvent& event) {
    int32_t day = event.time.localDay;
    if (!anyReport_) {
        anyReport_ = true;
        currentDay_ = day;
    } else if (day > currentDay_) {
        dayEnds_.emplace_back(currentDay_, machinesOn_);
        currentDay_ = day;
    }
    ++reports_;
    const report_log::Jaehuid& jaehuid = event.jaehuid;
    Row row = RowFor(jaehuid);
    rows_[row].reached = true;
    DayFigures& figures = daily_[{row, day}];
    switch (jaehuid.kind) {
        case ReportKind::Install: ++figures.installs; break;
        case ReportKind::Update: ++figures.updates; break;
        case ReportKind::Removal: ++figures.removals; break;
        case ReportKind::FailedStart: ++figures.failedStarts; break;
    }
    if (!event.machine.Known()) {
        ++reportsWithoutMachine_;
        return;
    }
    if (jaehuid.kind == ReportKind::FailedStart) return;
    auto [entry, isNew] = machines_.try_emplace(event.machine);
    MachineState& machine = entry->second;
    if (!isNew && event.time.utcSeconds < machine.utcSeconds) return;
    Row was = RowOf(machine);
    if (was != kOnNoVersion) --machinesOn_[was];
    machine.utcSeconds = event.time.utcSeconds;
    machine.row = jaehuid.kind == ReportKind::Removal ? kOnNoVersion : row;
    machine.generation = rows_[row].generation;
    if (machine.row != kOnNoVersion) ++machinesOn_[row];
}

std::vector<AdoptionTally::Row> AdoptionTally::RowsInOrder() const {
    std::vector<Row> order;
    for (Row row = 0; row < rows_.size(); ++row)
        if (rows_[row].reached) order.push_back(row);
    // "?" and "other" (the oldest versions, mostly) before every version.
    auto rank = [](Row row) { return row == kNoVersionRow ? 0 : row == kOtherRow ? 1 : 2; };
    std::sort(order.begin(), order.end(), [&](Row a, Row b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return InstallerOrder(rows_[a].label, rows_[b].label);
    });
    return order;
}

AdoptionHistory AdoptionTally::History() const {
    AdoptionHistory history;
    if (!anyReport_) return history;
    std::vector<std::pair<int32_t, std::vector<uint64_t>>> ends = dayEnds_;
    ends.emplace_back(currentDay_, machinesOn_);  // the open day ends now

    history.firstDay = ends.front().first;
    size_t days = static_cast<size_t>(currentDay_ - history.firstDay) + 1;
    auto daysOf = [this](Row row) {
        return std::make_pair(daily_.lower_bound({row, INT32_MIN}), daily_.lower_bound({row + 1, INT32_MIN}));
    };
    std::vector<Row> shown;
    for (Row row : RowsInOrder()) {
        bool held = std::any_of(ends.begin(), ends.end(), [row](const auto& end) { return end.second[row] > 0; });
        auto [first, last] = daysOf(row);
        bool failed = std::any_of(first, last, [](const auto& day) { return day.second.failedStarts > 0; });
        if (held || failed) {
            shown.push_back(row);
            history.versions.push_back(rows_[row].label);
        }
    }
    // A day without reports ends as the day before it did.
    size_t next = 0;
    std::vector<uint64_t> row(shown.size(), 0);
    for (size_t day = 0; day < days; ++day) {
        if (next < ends.size() && ends[next].first == history.firstDay + static_cast<int32_t>(day)) {
            const std::vector<uint64_t>& counts = ends[next++].second;
            for (size_t i = 0; i < shown.size(); ++i) row[i] = counts[shown[i]];
        }
        history.machinesAtDayEnd.push_back(row);
    }
    history.failedStarts.assign(days, std::vector<uint64_t>(shown.size(), 0));
    for (size_t i = 0; i < shown.size(); ++i) {
        auto [first, last] = daysOf(shown[i]);
        // A line out of order, dated before the first report, counts on the first day.
        for (auto at = first; at != last; ++at)
            history.failedStarts[std::max(at->first.second - history.firstDay, 0)][i] += at->second.failedStarts;
    }
    return history;
}

std::string ReportText(const AdoptionTally& tally, uint64_t skippedLines) {
    std::string out = text::Format(
        "# cvztool report: installs, updates, removals and failed starts per version and day (the server's\n"
        "# local date), and the machines on each version now. A machine is one ma (network address), on the\n"
        "# version of its latest report: an install or update puts it there, a removal takes it off, a failed\n"
        "# start (the version's suite did not start after an update, and the machine went back) leaves it.\n"
        "# Reports without ma count in the day's figures but not as machines. Version ? is a removal that\n"
        "# named no version;"
        " %s is every version but the %u newest (in the installer's order) and any that\n"
        "# cvztool release would not publish. Reports are not authenticated: anyone can send one.\n"
        "# day\tversion\tdate\tinstalls\tupdates\tremovals\tfailed_starts\n",
        kOtherLabel, static_cast<unsigned>(AdoptionTally::kMostVersions));
    std::vector<AdoptionTally::Row> order = tally.RowsInOrder();
    const auto& daily = tally.Daily();
    for (AdoptionTally::Row row : order) {
        for (auto day = daily.lower_bound({row, INT32_MIN}); day != daily.end() && day->first.first == row; ++day) {
            const DayFigures& figures = day->second;
            out += text::Format("day\t%s\t%s\t%llu\t%llu\t%llu\t%llu\n", tally.Label(row).c_str(),
                                report_log::DayText(day->first.second).c_str(),
                                static_cast<unsigned long long>(figures.installs),
                                static_cast<unsigned long long>(figures.updates),
                                static_cast<unsigned long long>(figures.removals),
                                static_cast<unsigned long long>(figures.failedStarts));
        }
    }
    out += "# now\tversion\tmachines\n";
    uint64_t onAVersion = 0;
    for (AdoptionTally::Row row : order) {
        if (tally.Label(row) == kNoVersionLabel) continue;  // no machine is ever on it
        onAVersion += tally.MachinesOn(row);
        out += text::Format("now\t%s\t%llu\n", tally.Label(row).c_str(),
                            static_cast<unsigned long long>(tally.MachinesOn(row)));
    }
    out += text::Format("# %llu reports, %llu without ma; %llu machines, %llu of them on a version now\n",
                        static_cast<unsigned long long>(tally.Reports()),
                        static_cast<unsigned long long>(tally.ReportsWithoutMachine()),
                        static_cast<unsigned long long>(tally.Machines()), static_cast<unsigned long long>(onAVersion));
    out += text::Format("skipped %llu lines that are not report lines\n", static_cast<unsigned long long>(skippedLines));
    return out;
}

}  // namespace adoption_report
