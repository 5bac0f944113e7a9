#include "cvztool/report_log_files.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace report_log_files {

namespace {

// A report line is about a hundred bytes; a line that does not fit is no report, and
// a file without line breaks must not make the buffer grow.
constexpr size_t kLineBufferBytes = 32 * 1024;
// zlib's own input buffer (its output buffer is twice this).
constexpr unsigned kGzipBufferBytes = 32 * 1024;

}  // namespace

LogLines::LogLines(const std::string& path) : path_(path), buffer_(kLineBufferBytes) {
    // gzopen reads a file without the gzip magic bytes as it is, which is what
    // tells a rotated and compressed log from a plain one.
    errno = 0;
    file_ = gzopen(path.c_str(), "rb");
    if (!file_) {
        problem_ = path + ": cannot be opened: " + (errno ? std::strerror(errno) : "out of memory");
        return;
    }
    gzbuffer(file_, kGzipBufferBytes);
}

LogLines::~LogLines() {
    if (file_) gzclose_r(file_);
}

bool LogLines::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    errno = 0;
    int got = gzread(file_, buffer_.data() + end_, static_cast<unsigned>(buffer_.size() - end_));
    if (got > 0) {
        end_ += static_cast<size_t>(got);
        return true;
    }
    atEnd_ = true;
    int error = Z_OK;
    const char* message = gzerror(file_, &error);
    if (got < 0 || error != Z_OK) {
        // A truncated gzip stream ends with Z_BUF_ERROR; a damaged one with Z_DATA_ERROR.
        // zlib's message begins with the path, which ours names already.
        std::string detail = message;
        if (detail.compare(0, path_.size() + 2, path_ + ": ") == 0) detail.erase(0, path_.size() + 2);
        problem_ = path_ + ": " +
                   (error == Z_ERRNO ? std::string("cannot be read: ") + std::strerror(errno)
                                     : "damaged gzip stream: " + detail);
    }
    return false;
}

LogLines::Next LogLines::Read(std::string_view& line) {
    if (!file_) return Next::Failed;
    bool overlong = false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const char* lineBreak = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        if (lineBreak) {
            line = std::string_view(start, static_cast<size_t>(lineBreak - start));
            begin_ += line.size() + 1;
            return overlong ? Next::NotLine : Next::Line;
        }
        if (begin_ == 0 && end_ == buffer_.size()) {
            // Passed over up to its line break, however long it is.
            overlong = true;
            begin_ = end_ = 0;
        }
        if (atEnd_ || !Fill()) {
            // nginx ends every line it writes: one without its break was cut short.
            bool cutShort = overlong || end_ > begin_;
            begin_ = end_ = 0;
            if (!problem_.empty()) return Next::Failed;
            return cutShort ? Next::NotLine : Next::End;
        }
    }
}

namespace {

struct MergedLog {
    std::unique_ptr<LogLines> lines;
    std::optional<report_log::ReportEvent> next;
    std::optional<int64_t> firstReportSeconds;
};

// The file's next report, counting the lines passed over; nothing at its end.
void Advance(MergedLog& log, LogsRead& read) {
    log.next.reset();
    std::string_view line;
    for (;;) {
        switch (log.lines->Read(line)) {
            case LogLines::Next::Line:
                log.next = report_log::ParseReportLine(line);
                if (log.next) {
                    if (!log.firstReportSeconds) log.firstReportSeconds = log.next->time.utcSeconds;
                    return;
                }
                ++read.skippedLines;
                break;
            case LogLines::Next::NotLine:
                ++read.skippedLines;
                break;
            case LogLines::Next::Failed:
                read.problems.push_back(log.lines->Problem());
                return;
            case LogLines::Next::End:
                return;
        }
    }
}

// Whether `a`'s next report comes before `b`'s. At the same second, the report of the
// file that began earlier does: the last second of a rotated log may be the first of
// the new one, and `reports.log*` names the newest file first.
bool ComesBefore(const MergedLog& a, const MergedLog& b) {
    if (a.next->time.utcSeconds != b.next->time.utcSeconds) return a.next->time.utcSeconds < b.next->time.utcSeconds;
    return *a.firstReportSeconds < *b.firstReportSeconds;
}

}  // namespace

LogsRead ReadReportLogs(const std::vector<std::string>& paths, adoption_report::AdoptionTally& tally) {
    LogsRead read;
    std::vector<MergedLog> logs;
    for (const std::string& path : paths) {
        MergedLog log;
        log.lines = std::make_unique<LogLines>(path);
        Advance(log, read);
        logs.push_back(std::move(log));
    }
    // logrotate keeps a handful of files: a scan for the earliest beats a heap here.
    for (;;) {
        MergedLog* earliest = nullptr;
        for (MergedLog& log : logs)
            if (log.next && (!earliest || ComesBefore(log, *earliest))) earliest = &log;
        if (!earliest) break;
        tally.Add(*earliest->next);
        Advance(*earliest, read);
    }
    return read;
}

}  // namespace report_log_files
