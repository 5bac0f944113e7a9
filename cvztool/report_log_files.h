// nginx's report logs as a web host keeps them: reports.log being written, and
// logrotate's reports.log.1, reports.log.2.gz, ... Each file is read as a stream in
// a fixed buffer, gzip-compressed or not as its first bytes say (the names may
// have been changed by a copy), and the files are merged by time, so that millions
// of lines take no more memory than a few.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "cvztool/adoption_report.h"

namespace report_log_files {

// The lines of one log file, plain or gzip-compressed.
class LogLines {
 public:
    enum class Next {
        Line,     // a complete line, without its line break
        NotLine,  // a line longer than any report line could be, or a last line without its line break
        End,      // the file ended cleanly
        Failed,   // the file could not be read or its gzip stream is damaged; Problem() says why
    };

    explicit LogLines(const std::string& path);
    ~LogLines();
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    // `line` stays valid until the next call.
    Next Read(std::string_view& line);
    const std::string& Problem() const { return problem_; }

 private:
    // Reads more of the file after what the buffer holds; false at its end or on failure.
    bool Fill();

    std::string path_;
    gzFile file_ = nullptr;
    std::vector<char> buffer_;
    size_t begin_ = 0;  // the unread bytes are buffer_[begin_, end_)
    size_t end_ = 0;
    bool atEnd_ = false;
    std::string problem_;
};

struct LogsRead {
    uint64_t skippedLines = 0;
    // One text per file that could not be read, or not to its end: "FILE: why".
    // The lines read before a damaged part count.
    std::vector<std::string> problems;
};

// Adds the reports of every file to `tally` in the order of their time: files may
// be given in any order, and each file's lines are taken as in time order. Of
// reports at the same second, the later line of a file is added later; of two
// files, the one whose first report is later (the newer of a rotation) is added
// later, and of two that began at the same second, the one named later. Lines that
// are not reports are counted and passed over.
LogsRead ReadReportLogs(const std::vector<std::string>& paths, adoption_report::AdoptionTally& tally);

}  // namespace report_log_files
