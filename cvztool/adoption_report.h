// The vendor's adoption report: from the install, update, removal and failed start
// reports, the figures per version and day, the machines on each version now, and
// the machines on each version at the end of every day (the chart's data).
//
// A machine is one network address (ma), on the version of its latest report: an
// install or update puts it there, a removal takes it off. A failed start moves
// nothing: the machine went back to where it was, and its next report says so. Reports without ma count
// in the day's figures but belong to no machine. What is kept grows with the
// machines and the days, never with the number of reports or of the versions they
// name: one small entry per machine, at most a bounded number of versions.
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
    uint64_t failedStarts = 0;
};

// Machines on each version at the end of every day from the first report's day to
// the last's, days without reports included, and the failed starts of each day.
struct AdoptionHistory {
    // In the installer's order, kOtherLabel first: each that held machines at the
    // end of a day or failed to start.
    std::vector<std::string> versions;
    int32_t firstDay = 0;
    // [day - firstDay][position in versions]
    std::vector<std::vector<uint64_t>> machinesAtDayEnd;
    std::vector<std::vector<uint64_t>> failedStarts;
};

// True when version `a` comes before `b` as the installer orders them: the first
// four characters byte by byte; the whole text settles versions that share them.
bool InstallerOrder(const std::string& a, const std::string& b);

// The figures of reports whose version does not get its own.
extern const char kOtherLabel[];
// A removal whose uninstaller found no installed version.
extern const char kNoVersionLabel[];

class AdoptionTally {
 public:
    // The most versions that keep figures of their own: the newest ones in the
    // installer's order, which are the ones a rollout is watched by. Older versions,
    // and versions that `cvztool release` would not publish, count as kOtherLabel,
    // so that what a forger writes costs no memory (anyone can send a report). As
    // many as the chart tells apart, each in a style of its own beside its legend.
    static constexpr size_t kMostVersions = 20;

    AdoptionTally();

    // Reports are taken in the order of their time, as ReadReportLogs merges the
    // files. A report older than the machine's latest one changes the day's figures
    // but not the machine: it was read late. Of two at the same second, the one
    // added last wins. A report dated before the current day (a line out of order)
    // counts toward the current day's end.
    void Add(const report_log::ReportEvent& event);

    // What the report shows, by row: a version, kOtherLabel or kNoVersionLabel. Rows
    // come in the installer's order, the two labels first; only rows that reports
    // reached.
    using Row = uint32_t;
    const std::string& Label(Row row) const { return rows_[row].label; }
    std::vector<Row> RowsInOrder() const;

    // Figures keyed by row and day.
    const std::map<std::pair<Row, int32_t>, DayFigures>& Daily() const { return daily_; }
    // Machines on each row now.
    uint64_t MachinesOn(Row row) const { return machinesOn_[row]; }

    uint64_t Reports() const { return reports_; }
    uint64_t ReportsWithoutMachine() const { return reportsWithoutMachine_; }
    uint64_t Machines() const { return machines_.size(); }

    AdoptionHistory History() const;

 private:
    static constexpr Row kOtherRow = 0;
    static constexpr Row kNoVersionRow = 1;
    static constexpr Row kFirstVersionRow = 2;
    static constexpr Row kOnNoVersion = UINT32_MAX;

    struct RowState {
        std::string label;
        // Bumped when the row's version goes to kOtherLabel and the row is given to
        // another: a machine that was put there before is on kOtherLabel now.
        uint32_t generation = 0;
        bool reached = false;
    };
    struct MachineState {
        int64_t utcSeconds = 0;
        Row row = kOnNoVersion;  // after a removal, on no version
        uint32_t generation = 0;
    };

    Row RowFor(const report_log::Jaehuid& jaehuid);
    // Folds `row`'s figures and machines into kOtherLabel's, leaving it free.
    void FoldIntoOther(Row row);
    Row RowOf(const MachineState& machine) const;

    std::vector<RowState> rows_;
    std::unordered_map<std::string, Row> versionRows_;  // the versions that have a row
    std::map<std::pair<Row, int32_t>, DayFigures> daily_;
    std::unordered_map<report_log::MachineAddress, MachineState, report_log::MachineAddressHash> machines_;
    std::vector<uint64_t> machinesOn_;  // now, by row

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
