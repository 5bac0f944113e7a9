#include "cvztool/report_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cvztool/adoption_chart.h"
#include "cvztool/adoption_report.h"
#include "cvztool/report_log_files.h"

namespace report_command {

namespace {

constexpr int kExitFileError = 3;
constexpr int kExitUsage = 64;

bool WriteWhole(const std::string& path, const std::string& data) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace

int RunReportCommand(int argc, char** argv) {
    std::string chartPath;
    std::vector<std::string> logs;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--svg" && i + 1 < argc && chartPath.empty()) {
            chartPath = argv[++i];
        } else if (argument.compare(0, 2, "--") == 0 || argument.empty()) {
            logs.clear();
            break;
        } else {
            logs.push_back(argument);
        }
    }
    if (logs.empty()) {
        std::fputs("usage: cvztool report [--svg FILE] LOG...\n", stderr);
        return kExitUsage;
    }

    adoption_report::AdoptionTally tally;
    report_log_files::LogsRead read = report_log_files::ReadReportLogs(logs, tally);
    for (const std::string& problem : read.problems) std::fprintf(stderr, "report error: %s\n", problem.c_str());
    std::fputs(adoption_report::ReportText(tally, read.skippedLines).c_str(), stdout);
    std::fflush(stdout);

    bool chartFailed = false;
    if (!chartPath.empty() && !WriteWhole(chartPath, adoption_chart::ChartSvg(tally.History()))) {
        std::fprintf(stderr, "report error: %s: the chart cannot be written: %s\n", chartPath.c_str(),
                     std::strerror(errno));
        chartFailed = true;
    }
    return read.problems.empty() && !chartFailed ? 0 : kExitFileError;
}

}  // namespace report_command
