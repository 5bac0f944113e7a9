// Reading what a server answers, and the package download built on it: bounds on
// size and time, partial answers that must be the range asked for, and a download
// cut short that the next attempt finishes.
#include <chrono>
#include <memory>
#include <thread>

#include "net/answer_reading.h"
#include "net/package_download.h"
#include "tests/check.h"
#include "tests/native/fake_file_server.h"
#include "tests/native/scratch.h"

using answer_reading::Ending;
using answer_reading::kUnknown;

namespace {

class Collected : public answer_reading::Sink {
 public:
    bool Take(const char* bytes, size_t size) override {
        text.append(bytes, size);
        return true;
    }
    std::string text;
};

// `pieces` pieces of `piece` bytes each, then the end (or, with `forever`, no end).
class Stream : public answer_reading::Source {
 public:
    Stream(int pieces, size_t piece, bool forever = false) : left_(pieces), piece_(piece), forever_(forever) {}
    bool Next(char* buffer, size_t capacity, size_t& got) override {
        got = 0;
        if (left_ == 0 && !forever_) return true;
        if (left_ > 0) --left_;
        got = std::min(capacity, piece_);
        std::fill_n(buffer, got, 'p');
        return true;
    }

 private:
    int left_;
    size_t piece_;
    bool forever_;
};

std::string PackageBytes() {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>('a' + i % 26);
    return bytes;
}

}  // namespace

TEST_CASE(answer_reading, a_body_ends_at_its_length_its_bound_or_the_stop_request) {
    struct Row {
        const char* what;
        int pieces;
        bool forever;
        uint64_t length, largest;
        bool stopAfterFirst;
        Ending ending;
        size_t taken;
    } rows[] = {
        {"the length named", 4, false, 400, kUnknown, false, Ending::Complete, 400},
        {"to its end, no length named", 4, false, kUnknown, kUnknown, false, Ending::Complete, 400},
        {"the connection ends first", 2, false, 400, kUnknown, false, Ending::Short, 200},
        {"a stream past the bound stops there", 0, true, kUnknown, 250, false, Ending::TooLarge, 250},
        {"a length past the bound stops at the bound", 4, false, 400, 150, false, Ending::TooLarge, 150},
        {"nothing after the stop request", 4, false, 400, kUnknown, true, Ending::Stopped, 100},
    };
    for (const Row& row : rows) {
        Stream source(row.pieces, 100, row.forever);
        StopRequest stop;
        struct StoppingSink : Collected {
            StopRequest* stop = nullptr;
            bool Take(const char* bytes, size_t size) override {
                Collected::Take(bytes, size);
                if (stop) stop->Request();
                return true;
            }
        } sink;
        if (row.stopAfterFirst) sink.stop = &stop;
        Ending ending = answer_reading::ReadBody(source, row.length, row.largest, stop, sink);
        if (ending != row.ending || sink.text.size() != row.taken)
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
    }
}

TEST_CASE(answer_reading, a_partial_answer_counts_only_for_exactly_the_range_asked_for) {
    struct Row {
        const char* contentRange;
        uint64_t length, first, last, fileSize;
        bool taken;
    } rows[] = {
        {"bytes 100-199/5000", 100, 100, 199, 5000, true},
        {"bytes 100-199/5000", 100, 100, 199, kUnknown, true},
        {"bytes 4000-4999/5000", 1000, 4000, kUnknown, 5000, true},  // "to the end"
        {"bytes 101-200/5000", 100, 100, 199, 5000, false},          // another offset
        {"bytes 100-199/6000", 100, 100, 199, 5000, false},          // another file
        {"bytes 100-199/*", 100, 100, 199, kUnknown, false},         // a file of no known size
        {"bytes 100-199/5000", 99, 100, 199, 5000, false},           // a length that disagrees
        {"bytes 4000-4998/5000", 999, 4000, kUnknown, 5000, false},  // short of the end
        {"bytes 199-100/5000", 100, 100, 199, 5000, false},
        {"100-199/5000", 100, 100, 199, 5000, false},
        {"bytes 100-199/5000 ", 100, 100, 199, 5000, false},
        {"bytes 100-5000/5000", 4901, 100, 5000, 5000, false},       // past the file's end
    };
    for (const auto& row : rows)
        if (answer_reading::IsRangeAskedFor(row.contentRange, row.length, row.first, row.last, row.fileSize) !=
            row.taken)
            CHECK_EQ(std::string(row.contentRange), std::string(row.taken ? "taken" : "refused"));
}

TEST_CASE(package_download, a_download_cut_short_keeps_its_bytes_and_the_next_asks_for_the_rest) {
    const std::string package = PackageBytes();
    struct Row {
        const char* what;
        size_t kept;          // bytes of this package already in the target
        bool listed;          // the release names the package's size
        void (*server)(FakeFileServer&);
        DownloadOutcome outcome;
        bool resumed;
        int requests;
    } rows[] = {
        {"nothing kept: the whole package", 0, true, [](FakeFileServer&) {}, DownloadOutcome::Complete, false, 1},
        {"most of it kept: only the rest is asked for", 4500, true, [](FakeFileServer&) {}, DownloadOutcome::Complete,
         true, 1},
        {"kept, with no size listed: the rest all the same", 4500, false, [](FakeFileServer&) {},
         DownloadOutcome::Complete, true, 1},
        {"a server that ignores the range: the whole package from nothing", 4500, true,
         [](FakeFileServer& s) { s.ignoresRanges = true; }, DownloadOutcome::Complete, false, 1},
        {"a range answer for other bytes: what was kept stays, nothing is added", 4500, true,
         [](FakeFileServer& s) { s.shift = 7; }, DownloadOutcome::Incomplete, false, 1},
        {"cut off again: more is kept for the next attempt", 1000, true, [](FakeFileServer& s) { s.dropAfter = 2000; },
         DownloadOutcome::Incomplete, false, 1},
    };
    for (const auto& row : rows) {
        scratch::Folder staging;
        DownloadRequest request;
        request.url = "http://server/2.02.cvz";
        request.targetPath = staging / "package.cvz";
        request.expectedSize = row.listed ? package.size() : 0;
        request.largestSize = 1 << 20;
        if (row.kept) scratch::WriteBytes(request.targetPath, package.substr(0, row.kept));
        FakeFileServer server(package);
        row.server(server);
        StopRequest stop;
        WorkProgress progress;
        DownloadResult result = DownloadPackage(server, request, stop, progress);
        std::string onDisk = scratch::ReadBytes(request.targetPath);
        bool asExpected = result.outcome == row.outcome && result.resumed == row.resumed &&
                          server.requests == row.requests && package.compare(0, onDisk.size(), onDisk) == 0;
        if (row.outcome == DownloadOutcome::Complete) asExpected = asExpected && onDisk == package;
        if (row.outcome == DownloadOutcome::Incomplete) asExpected = asExpected && onDisk.size() >= row.kept;
        if (!asExpected) {
            std::printf("    %s: outcome %d, resumed %d, requests %d, %zu on disk\n", row.what, static_cast<int>(result.outcome),
                        result.resumed, server.requests, onDisk.size());
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
        }
    }
}

TEST_CASE(package_download, a_package_past_its_bound_or_its_disk_is_refused) {
    const std::string package = PackageBytes();
    struct Row {
        const char* what;
        uint64_t expected, largest, room;
        bool endless;
        DownloadOutcome outcome;
        bool fileStays;
    } rows[] = {
        {"endless, with no size listed: stops at the largest package", 0, 8000, UINT64_MAX, true,
         DownloadOutcome::TooLarge, false},
        {"endless, with a listed size: stops at that size", 5000, 1 << 20, UINT64_MAX, true, DownloadOutcome::TooLarge,
         false},
        {"larger than the largest package", 0, 4000, UINT64_MAX, false, DownloadOutcome::TooLarge, false},
        {"no room for it", 5000, 1 << 20, 100, false, DownloadOutcome::DiskFull, true},
    };
    for (const auto& row : rows) {
        scratch::Folder staging;
        DownloadRequest request;
        request.url = "http://server/2.02.cvz";
        request.targetPath = staging / "package.cvz";
        request.expectedSize = row.expected;
        request.largestSize = row.largest;
        uint64_t room = row.room;
        request.roomOnDisk = [room] { return room; };
        FakeFileServer server(package);
        server.endless = row.endless;
        StopRequest stop;
        WorkProgress progress;
        DownloadResult result = DownloadPackage(server, request, stop, progress);
        if (result.outcome != row.outcome || scratch::IsFile(request.targetPath) != row.fileStays)
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
        CHECK(progress.done <= std::max<uint64_t>(row.expected, row.largest));
    }
}

TEST_CASE(answer_reading, a_request_trickled_a_byte_at_a_time_ends_at_its_deadline) {
    // The request owns what it fills: it may go on after the deadline, and nobody
    // waits for it.
    auto read = std::make_shared<std::string>();
    auto began = std::chrono::steady_clock::now();
    bool ended = RunWithin(300, [read] {
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            *read += 'v';
        }
    });
    auto waited = std::chrono::steady_clock::now() - began;
    CHECK(!ended);
    CHECK(waited < std::chrono::seconds(3));
    CHECK(RunWithin(2000, [] {}));
}
