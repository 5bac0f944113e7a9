// The rules of reading what a server answers, apart from the system's HTTP calls so
// that each is a native test: a piece is handed on as soon as it arrives (progress
// counts bytes, not requests), the stop request is looked at before every read and
// every piece handed on, a body larger than the caller takes is cut off where the
// bound lies (a server that streams for ever fills no disk), and a partial answer
// counts only when it names exactly the range that was asked for.
#pragma once

#include <cstdint>
#include <string>

#include "framework/worker.h"

namespace answer_reading {

// A length that the answer did not name.
constexpr uint64_t kUnknown = UINT64_MAX;

// What arrives of an answer's body, piece by piece, as the system reads it.
class Source {
 public:
    virtual ~Source() = default;
    // Waits for the next piece (at most one read's time-out) and puts up to
    // `capacity` bytes of it in `buffer`; `got` 0 is the body's end. False when the
    // connection failed.
    virtual bool Next(char* buffer, size_t capacity, size_t& got) = 0;
};

// Where the body goes.
class Sink {
 public:
    virtual ~Sink() = default;
    // False stops the reading (the disk is full, the bytes are not wanted).
    virtual bool Take(const char* bytes, size_t size) = 0;
};

enum class Ending {
    Complete,   // the body, as long as the answer said (or to its end, when it said nothing)
    Short,      // the connection ended or failed before the length the answer named
    TooLarge,   // longer than `largest`: what lay within the bound was handed on
    Stopped,    // the stop request came first
    Refused,    // the sink stopped it
};

// Reads the body of an answer that named `length` bytes (kUnknown: read to its end),
// taking at most `largest` bytes (kUnknown: no bound).
Ending ReadBody(Source& source, uint64_t length, uint64_t largest, const StopRequest& stop, Sink& sink);

// A byte range of a file, as a partial answer's Content-Range names it: "bytes
// first-last/size" (size kUnknown for "*").
struct ContentRange {
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t size = kUnknown;
};
// False for anything else than that form in decimal, and for first > last.
bool ParseContentRange(const std::string& header, ContentRange& range);

// Whether a 206 answer is the one asked for: its Content-Range names exactly
// `first` to `last` of a file of `fileSize` bytes (kUnknown: any size, but named),
// and its length is that range's.
bool IsRangeAskedFor(const std::string& contentRange, uint64_t length, uint64_t first, uint64_t last,
                     uint64_t fileSize);

}  // namespace answer_reading
