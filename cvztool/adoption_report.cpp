#include "cvztool/adoption_report.h"

#include <algorithm>

#include "app/version_text.h"
#include "framework/text.h"

namespace adoption_report {

namespace {

using report_log::ReportKind;

// A removal whose uninstaller found no installed version; "?" is no version that
// cvztool release accepts, so it cannot stand for a real one.
const char kNoVersionLabel[] = "?";

std::string Label(const std::string& version) { return version.empty() ? kNoVersionLabel : version; }

}  // namespace

bool InstallerOrder(const std::string& a, const std::string& b) {
    int byPrefix = text::MbsCompare(version_text::Prefix(a), version_text::Prefix(b));
    if (byPrefix != 0) return byPrefix < 0;
    return text::MbsCompare(a, b) < 0;
}

uint32_t AdoptionTally::VersionIndex(const std::string& version) {
    auto found = versionIndex_.find(version);
    if (found != versionIndex_.end()) return found->second;
    uint32_t index = static_cast<uint32_t>(versions_.size());
    versions_.push_back(version);
    versionIndex_.emplace(version, index);
    machinesOnVersion_.push_back(0);
    return index;
}

void AdoptionTally::Add(const report_log::ReportEvent& event) {
    int32_t day = event.time.localDay;
    if (!anyReport_) {
        anyReport_ = true;
        currentDay_ = day;
    } else if (day > currentDay_) {
        dayEnds_.emplace_back(currentDay_, machinesOnVersion_);
        currentDay_ = day;
    }
    ++reports_;
    const report_log::Jaehuid& jaehuid = event.jaehuid;
    uint32_t version = VersionIndex(jaehuid.version);
    DayFigures& figures = daily_[{version, day}];
    switch (jaehuid.kind) {
        case ReportKind::Install: ++figures.installs; break;
        case ReportKind::Update: ++figures.updates; break;
        case ReportKind::Removal: ++figures.removals; break;
    }
    if (!event.machine.Known()) {
        ++reportsWithoutMachine_;
        return;
    }
    auto [entry, isNew] = machines_.try_emplace(event.machine);
    MachineState& machine = entry->second;
    if (!isNew && event.time.utcSeconds < machine.utcSeconds) return;
    if (!isNew && machine.version != kOnNoVersion) --machinesOnVersion_[machine.version];
    machine.utcSeconds = event.time.utcSeconds;
    machine.version = jaehuid.kind == ReportKind::Removal ? kOnNoVersion : version;
    if (machine.version != kOnNoVersion) ++machinesOnVersion_[machine.version];
}

std::vector<uint32_t> AdoptionTally::VersionsInInstallerOrder() const {
    std::vector<uint32_t> order(versions_.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [this](uint32_t a, uint32_t b) { return InstallerOrder(versions_[a], versions_[b]); });
    return order;
}

uint64_t AdoptionTally::MachinesOn(uint32_t version) const {
    return version < machinesOnVersion_.size() ? machinesOnVersion_[version] : 0;
}

AdoptionHistory AdoptionTally::History() const {
    AdoptionHistory history;
    if (!anyReport_) return history;
    std::vector<std::pair<int32_t, std::vector<uint64_t>>> ends = dayEnds_;
    ends.emplace_back(currentDay_, machinesOnVersion_);  // the open day ends now

    std::vector<uint32_t> shown;
    for (uint32_t version : VersionsInInstallerOrder()) {
        bool held = std::any_of(ends.begin(), ends.end(), [version](const auto& end) {
            return version < end.second.size() && end.second[version] > 0;
        });
        if (held) {
            shown.push_back(version);
            history.versions.push_back(versions_[version]);
        }
    }
    history.firstDay = ends.front().first;
    // A day without reports ends as the day before it did.
    size_t next = 0;
    std::vector<uint64_t> row(shown.size(), 0);
    for (int32_t day = history.firstDay; day <= currentDay_; ++day) {
        if (next < ends.size() && ends[next].first == day) {
            const std::vector<uint64_t>& counts = ends[next++].second;
            for (size_t i = 0; i < shown.size(); ++i) row[i] = shown[i] < counts.size() ? counts[shown[i]] : 0;
        }
        history.machinesAtDayEnd.push_back(row);
    }
    return history;
}

std::string ReportText(const AdoptionTally& tally, uint64_t skippedLines) {
    std::string out =
        "# cvztool report: installs, updates and removals per version and day (the server's local date),\n"
        "# and the machines on each version now. A machine is one ma (network address), on the version of\n"
        "# its latest report: an install or update puts it there, a removal takes it off. Reports without\n"
        "# ma count in the day's figures but not as machines. Version ? is a removal that named no version.\n"
        "# day\tversion\tdate\tinstalls\tupdates\tremovals\n";
    std::vector<uint32_t> order = tally.VersionsInInstallerOrder();
    const auto& daily = tally.Daily();
    for (uint32_t version : order) {
        for (auto row = daily.lower_bound({version, INT32_MIN}); row != daily.end() && row->first.first == version;
             ++row) {
            const DayFigures& figures = row->second;
            out += text::Format("day\t%s\t%s\t%llu\t%llu\t%llu\n", Label(tally.VersionName(version)).c_str(),
                                report_log::DayText(row->first.second).c_str(),
                                static_cast<unsigned long long>(figures.installs),
                                static_cast<unsigned long long>(figures.updates),
                                static_cast<unsigned long long>(figures.removals));
        }
    }
    out += "# now\tversion\tmachines\n";
    uint64_t onAVersion = 0;
    for (uint32_t version : order) {
        if (tally.VersionName(version).empty()) continue;  // no machine is ever on it
        onAVersion += tally.MachinesOn(version);
        out += text::Format("now\t%s\t%llu\n", tally.VersionName(version).c_str(),
                            static_cast<unsigned long long>(tally.MachinesOn(version)));
    }
    out += text::Format("# %llu reports, %llu without ma; %llu machines, %llu of them on a version now\n",
                        static_cast<unsigned long long>(tally.Reports()),
                        static_cast<unsigned long long>(tally.ReportsWithoutMachine()),
                        static_cast<unsigned long long>(tally.Machines()), static_cast<unsigned long long>(onAVersion));
    out += text::Format("skipped %llu lines that are not report lines\n", static_cast<unsigned long long>(skippedLines));
    return out;
}

}  // namespace adoption_report
