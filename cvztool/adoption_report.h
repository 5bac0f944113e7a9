// The vendor's adoption report: from the install, update and removal reports, the
// figures per version and day, the machines on each version now, and the machines
// on each version at the end of every day (the chart's data).
//
// A machine is one network address (ma), on the version of its latest report: an
// install or update puts it there, a removal takes it off. Reports without ma count
// in the day's figures but belong to no machine. What is kept grows with the
// versions, the days and the machines, never with the number of reports: one small
// entry per machine, one row per version and day.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cvztool/report_log.h"

namespace adoption_report {

struct DayFigures {
    uint64_t installs = 0;
    uint64_t updates = 0;
    uint64_t removals = 0;
};

// Machines on each version at the end of every day from the first report's day to
// the last's, days without reports included.
struct AdoptionHistory {
    // In the installer's order: each version that held machines at the end of a day.
    std::vector<std::string> versions;
    int32_t firstDay = 0;
    // [day - firstDay][position in versions]
    std::vector<std::vector<uint64_t>> machinesAtDayEnd;
};

// True when version `a` comes before `b` as the installer orders them: the first
// four characters byte by byte; the whole text settles versions that share them.
bool InstallerOrder(const std::string& a, const std::string& b);

class AdoptionTally {
 public:
    // Reports are taken in the order of their time, as ReadReportLogs merges the
    // files. A report older than the machine's latest one changes the day's figures
    // but not the machine: it was read late. Of two at the same second, the one
    // added last wins. A report dated before the current day (a line out of order)
    // counts toward the current day's end.
    void Add(const report_log::ReportEvent& event);

    // Versions by their index, and the indices in the installer's order.
    const std::string& VersionName(uint32_t version) const { return versions_[version]; }
    std::vector<uint32_t> VersionsInInstallerOrder() const;

    // Figures keyed by version index and day.
    const std::map<std::pair<uint32_t, int32_t>, DayFigures>& Daily() const { return daily_; }
    // Machines on each version now, by version index.
    uint64_t MachinesOn(uint32_t version) const;

    uint64_t Reports() const { return reports_; }
    uint64_t ReportsWithoutMachine() const { return reportsWithoutMachine_; }
    uint64_t Machines() const { return machines_.size(); }

    AdoptionHistory History() const;

 private:
    static constexpr uint32_t kOnNoVersion = UINT32_MAX;

    struct MachineState {
        int64_t utcSeconds = 0;
        uint32_t version = kOnNoVersion;  // after a removal, on no version
    };

    uint32_t VersionIndex(const std::string& version);

    std::vector<std::string> versions_;
    std::unordered_map<std::string, uint32_t> versionIndex_;
    std::map<std::pair<uint32_t, int32_t>, DayFigures> daily_;
    std::unordered_map<report_log::MachineAddress, MachineState, report_log::MachineAddressHash> machines_;
    std::vector<uint64_t> machinesOnVersion_;  // now, by version index

    // Days end as reports of a later day arrive; the current day is still open.
    bool anyReport_ = false;
    int32_t currentDay_ = 0;
    std::vector<std::pair<int32_t, std::vector<uint64_t>>> dayEnds_;

    uint64_t reports_ = 0;
    uint64_t reportsWithoutMachine_ = 0;
};

// The report as text: comment lines begin with "#"; rows are tab-separated and
// begin with their table's name, so that `grep ^now` or `awk -F'\t' '$1=="day"'`
// picks one table. Ends with "skipped N lines that are not report lines".
std::string ReportText(const AdoptionTally& tally, uint64_t skippedLines);

}  // namespace adoption_report
