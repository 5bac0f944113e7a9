// The adoption report from nginx's report logs: which version each machine is on,
// the figures per day, the logs read in any order and compression, and the chart.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "framework/text.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "cvztool/adoption_chart.h"
#include "cvztool/adoption_report.h"
#include "cvztool/report_log_files.h"

using adoption_report::AdoptionTally;

namespace {

// A report line as nginx logs it, on a May 2024 day in Seoul.
std::string Report(int day, const char* time, const char* ma, const char* jaehuid) {
    return text::Format("2024-05-%02dT%s+09:00\t10.1.2.3\tma=%s\tinip=10.0.0.5\tjaehuid=%s\n", day, time, ma, jaehuid);
}

const char kMachineA[] = "00-0C-29-3A-5B-7C";
const char kMachineB[] = "00-0C-29-3A-5B-7D";

void AddLines(AdoptionTally& tally, const std::string& lines) {
    for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1)
        tally.Add(*report_log::ParseReportLine(lines.substr(start, end - start)));
}

// "2.01:1 2.02:0": the machines on each version now, in the installer's order.
std::string MachinesNow(const AdoptionTally& tally) {
    std::string out;
    for (AdoptionTally::Row row : tally.RowsInOrder())
        if (tally.Label(row) != adoption_report::kNoVersionLabel)
            out += (out.empty() ? "" : " ") + tally.Label(row) + ":" + std::to_string(tally.MachinesOn(row));
    return out;
}

// The history's rows as "2.01:1,2.02:0|..." one per day.
std::string DayEnds(const adoption_report::AdoptionHistory& history) {
    std::string out;
    for (const auto& day : history.machinesAtDayEnd) {
        if (!out.empty()) out += "|";
        for (size_t i = 0; i < day.size(); ++i) out += (i ? "," : "") + history.versions[i] + ":" + std::to_string(day[i]);
    }
    return out;
}

void WriteGzip(const std::string& path, const std::string& data) {
    gzFile file = gzopen(path.c_str(), "wb");
    gzwrite(file, data.data(), static_cast<unsigned>(data.size()));
    gzclose(file);
}

}  // namespace

TEST_CASE(adoption_report, each_machine_is_on_the_version_of_its_latest_report) {
    struct {
        const char* rule;
        std::string lines;
        const char* now;
    } cases[] = {
        {"an update moves the machine", Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN") +
                                            Report(2, "10:00:00", kMachineA, "VL2U2.02CORVALEN"), "2.01:0 2.02:1"},
        {"a removal takes it off whichever version it named",
         Report(1, "10:00:00", kMachineA, "VL2B2.02CORVALEN") + Report(2, "10:00:00", kMachineA, "VL2BDEL"), "2.02:0"},
        {"an install after a removal puts it back", Report(1, "10:00:00", kMachineA, "VL2BDEL2.01") +
                                                        Report(1, "11:00:00", kMachineA, "VL2B2.01CORVALEN"), "2.01:1"},
        {"an older report read late changes nothing", Report(2, "10:00:00", kMachineA, "VL2U2.02CORVALEN") +
                                                          Report(1, "10:00:00", kMachineA, "VL2BDEL2.01"), "2.01:0 2.02:1"},
        {"of two at the same second the later one read wins", Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN") +
                                                                   Report(1, "10:00:00", kMachineA, "VL2U2.02CORVALEN"),
         "2.01:0 2.02:1"},
        {"a failed start leaves the machine where it was", Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN") +
                                                               Report(2, "10:00:00", kMachineA, "VL2F2.02CORVALEN"),
         "2.01:1 2.02:0"},
        {"reports without ma are no machines", Report(1, "10:00:00", "", "VL2B2.01CORVALEN") +
                                                   Report(1, "10:00:00", kMachineB, "VL2B2.01CORVALEN"), "2.01:1"},
        {"versions in the installer's order", Report(1, "10:00:00", kMachineA, "VL2B2.10CORVALEN") +
                                                  Report(1, "10:00:00", kMachineB, "VL2B10.0CORVALEN") +
                                                  Report(1, "10:00:00", "01", "VL2B2.09CORVALEN"),
         "10.0:1 2.09:1 2.10:1"},
    };
    for (const auto& c : cases) {
        AdoptionTally tally;
        AddLines(tally, c.lines);
        CHECK_EQ(std::string(c.rule) + ": " + MachinesNow(tally), std::string(c.rule) + ": " + c.now);
    }
}

TEST_CASE(adoption_report, only_the_newest_versions_a_release_could_be_named_have_figures_of_their_own) {
    const size_t most = AdoptionTally::kMostVersions;
    auto version = [](size_t i) { return text::Format("1.%02u", static_cast<unsigned>(i)); };  // 1.00 is the oldest
    auto install = [](size_t machine, const std::string& v) {
        return Report(1, "10:00:00", text::Format("%02X", static_cast<unsigned>(machine)).c_str(),
                      ("VL2B" + v + "CORVALEN").c_str());
    };
    // One version more than the bound, each on a machine of its own.
    std::string oldestFirst, newestFirst, allButTheOldest;
    for (size_t i = 0; i <= most; ++i) {
        oldestFirst += install(i, version(i));
        newestFirst += install(i, version(most - i));
        if (i > 0) allButTheOldest += " " + version(i) + ":1";
    }
    struct {
        const char* rule;
        std::string lines;
        std::string now;
        const char* otherDay;  // other's row of the day
    } cases[] = {
        {"a version cvztool release would not publish is other",
         install(0, "2.01%20") + install(1, "CON") + install(2, "") + install(3, "2.01"), "other:3 2.01:1",
         "day\tother\t2024-05-01\t3\t0\t0\t0\n"},
        {"the oldest of one too many is other, come first", oldestFirst, "other:1" + allButTheOldest,
         "day\tother\t2024-05-01\t1\t0\t0\t0\n"},
        {"the oldest of one too many is other, come last", newestFirst, "other:1" + allButTheOldest,
         "day\tother\t2024-05-01\t1\t0\t0\t0\n"},
        // Its machine moves on from other; a later report of the version counts there.
        {"a version gone to other stays there", oldestFirst + install(0, version(most)) + install(99, version(0)),
         "other:1" + allButTheOldest.substr(0, allButTheOldest.size() - 1) + "2", "day\tother\t2024-05-01\t2\t0\t0\t0\n"},
    };
    for (const auto& c : cases) {
        AdoptionTally tally;
        AddLines(tally, c.lines);
        CHECK_EQ(std::string(c.rule) + ": " + MachinesNow(tally), std::string(c.rule) + ": " + c.now);
        std::string text = adoption_report::ReportText(tally, 0);
        CHECK_EQ(text.find(c.otherDay) != std::string::npos ? c.otherDay : text, std::string(c.otherDay));
        adoption_report::AdoptionHistory history = tally.History();
        CHECK_EQ(history.versions.front(), std::string(adoption_report::kOtherLabel));
    }
}

TEST_CASE(adoption_report, every_report_counts_on_its_day_and_day_ends_carry_over) {
    AdoptionTally tally;
    AddLines(tally, Report(1, "23:59:59", kMachineA, "VL2B2.01CORVALEN") + Report(1, "23:00:00", "", "VL2B2.01CORVALEN") +
                        Report(4, "00:00:01", kMachineA, "VL2U2.02CORVALEN") +
                        Report(4, "09:00:00", kMachineB, "VL2BDEL1.99") + Report(4, "10:00:00", "", "VL2BDEL") +
                        Report(4, "11:00:00", "", "VL2F2.02CORVALEN") + Report(4, "12:00:00", kMachineB, "VL2F2.02CORVALEN"));
    std::string text = adoption_report::ReportText(tally, 7);
    for (const char* row : {"day\t?\t2024-05-04\t0\t0\t1\t0\n", "day\t1.99\t2024-05-04\t0\t0\t1\t0\n",
                            "day\t2.01\t2024-05-01\t2\t0\t0\t0\n", "day\t2.02\t2024-05-04\t0\t1\t0\t2\n",
                            "now\t1.99\t0\nnow\t2.01\t0\nnow\t2.02\t1\n",
                            "# 7 reports, 3 without ma; 2 machines, 1 of them on a version now\n"
                            "skipped 7 lines that are not report lines\n"})
        CHECK_EQ(text.find(row) != std::string::npos ? row : text, std::string(row));
    // Days 2 and 3 had no reports: the machine stayed on 2.01.
    adoption_report::AdoptionHistory history = tally.History();
    CHECK_EQ(report_log::DayText(history.firstDay), std::string("2024-05-01"));
    CHECK_EQ(DayEnds(history), std::string("2.01:1,2.02:0|2.01:1,2.02:0|2.01:1,2.02:0|2.01:0,2.02:1"));
}

TEST_CASE(adoption_report, logs_merge_by_time_whatever_their_order_and_compression) {
    scratch::Folder folder;
    std::string older = folder.path() + "/reports.log.2.gz", newer = folder.path() + "/reports.log";
    WriteGzip(older, Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN") +
                         Report(2, "10:00:00", kMachineB, "VL2B2.01CORVALEN") +
                         Report(3, "10:00:00", kMachineA, "VL2BDEL2.01"));
    // The newer file begins in the older one's last second: its report is the later one.
    scratch::WriteBytes(newer, Report(3, "10:00:00", kMachineA, "VL2B2.02CORVALEN") +
                                   Report(3, "12:00:00", kMachineB, "VL2U2.02CORVALEN"));
    AdoptionTally tally;
    report_log_files::LogsRead read = report_log_files::ReadReportLogs({newer, older}, tally);
    CHECK(read.problems.empty());
    CHECK_EQ(MachinesNow(tally), std::string("2.01:0 2.02:2"));
    CHECK_EQ(DayEnds(tally.History()), std::string("2.01:1,2.02:0|2.01:2,2.02:0|2.01:0,2.02:2"));
}

TEST_CASE(adoption_report, lines_that_are_not_reports_are_counted_and_passed_over) {
    scratch::Folder folder;
    std::string good = Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN");
    struct {
        std::string bytes;
        uint64_t skipped;
        uint64_t reports;
    } cases[] = {
        {good + "GET /installax.asp\n" + std::string("\0\x8b\xff\n", 4) + good, 2, 2},
        {good + std::string(200000, 'x') + "\n" + good, 1, 2},  // longer than any buffer
        {good + good.substr(0, good.size() - 4), 1, 1},         // cut short: "VL2B2.01CORVAL" would pass
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        std::string path = folder.path() + "/reports.log.1";
        scratch::WriteBytes(path, c.bytes);
        AdoptionTally tally;
        report_log_files::LogsRead read = report_log_files::ReadReportLogs({path}, tally);
        CHECK(read.problems.empty());
        CHECK_EQ(read.skippedLines, c.skipped);
        CHECK_EQ(tally.Reports(), c.reports);
    }
}

TEST_CASE(adoption_report, unreadable_logs_are_named_and_the_others_still_count) {
    scratch::Folder folder;
    std::string lines;
    for (int machine = 0; machine < 3000; ++machine)
        lines += Report(1, "10:00:00", text::Format("%02X-%02X", machine / 256, machine % 256).c_str(), "VL2B2.01CORVALEN");
    std::string good = folder.path() + "/reports.log.2.gz";
    WriteGzip(good, lines);
    std::string whole = scratch::ReadBytes(good);
    std::string truncated = folder.path() + "/reports.log.3.gz", damaged = folder.path() + "/reports.log.4.gz";
    scratch::WriteBytes(truncated, whole.substr(0, whole.size() / 2));
    scratch::WriteBytes(damaged, whole.substr(0, whole.size() - 6) + "\x55" + whole.substr(whole.size() - 5));
    std::string absent = folder.path() + "/reports.log.5.gz";

    AdoptionTally tally;
    report_log_files::LogsRead read = report_log_files::ReadReportLogs({truncated, damaged, absent, good}, tally);
    std::vector<std::string> named;
    for (const std::string& problem : read.problems) named.push_back(problem.substr(0, problem.find(": ")));
    std::sort(named.begin(), named.end());
    CHECK(named == std::vector<std::string>({truncated, damaged, absent}));
    // What the damaged files held before the damage counts; the line cut in half does not.
    CHECK(tally.Reports() > 3000 && tally.Reports() < 3 * 3000);
    CHECK_EQ(read.skippedLines, uint64_t(0));
    CHECK_EQ(tally.Machines(), uint64_t(3000));
}

TEST_CASE(adoption_chart, one_line_per_version_that_held_machines_and_a_bar_per_day_of_failed_starts) {
    AdoptionTally tally;
    AddLines(tally, Report(1, "10:00:00", kMachineA, "VL2B2.01CORVALEN") + Report(1, "10:00:00", kMachineB, "VL2BDEL1.99") +
                        Report(3, "10:00:00", kMachineA, "VL2U2.02CORVALEN") +
                        Report(3, "11:00:00", kMachineB, "VL2F2.03CORVALEN") +
                        Report(3, "12:00:00", kMachineA, "VL2F2.03CORVALEN"));
    std::string svg = adoption_chart::ChartSvg(tally.History());
    std::vector<std::string> series;
    const std::string marker = "<polyline data-version=\"";
    for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
        size_t begin = at + marker.size();
        series.push_back(svg.substr(begin, svg.find('"', begin) - begin));
        // One point per day, days without reports included.
        size_t points = svg.find("points=\"", at);
        std::string list = svg.substr(points, svg.find("\"/>", points) - points);
        CHECK_EQ(std::count(list.begin(), list.end(), ','), 3L);
    }
    CHECK_EQ(series.size(), size_t(2));
    CHECK(series == std::vector<std::string>({"2.01", "2.02"}));
    CHECK(svg.find("2024-05-03") != std::string::npos);
    CHECK(svg.find("no machine has reported") == std::string::npos);
    // 2.03 held no machine: no line, but its bar, stacked on its day.
    CHECK(svg.find("<rect data-version=\"2.03\" data-day=\"2024-05-03\" data-failed-starts=\"2\"") != std::string::npos);
    CHECK_EQ(svg.find("<rect data-version=\"2.0"), svg.rfind("<rect data-version=\"2.0"));
    CHECK(svg.find(">2.03 (0)</text>") != std::string::npos);
    std::string empty = adoption_chart::ChartSvg({});
    CHECK(empty.find("no machine has reported") != std::string::npos);
    CHECK(empty.find("Failed starts") == std::string::npos);
}
