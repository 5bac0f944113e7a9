// Fetching a file, or a byte range of it, from a server, streamed to a sink: what
// the package download and the update that fetches only what changed ask of the
// vendor's file server. HttpTextClient does it over WinInet; the native tests give
// the same requests to servers of their own that misbehave.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/worker.h"
#include "net/answer_reading.h"

namespace file_fetch {

using answer_reading::kUnknown;

// How a request was answered.
enum class Answer {
    Whole,     // 200: the file from its first byte
    Partial,   // 206 naming exactly the range asked for
    Failed,    // no answer, another status, another range, a body cut short
    TooLarge,  // larger than the caller takes: read no further than the bound
    Stopped,   // the stop request came first
    Refused,   // the caller refused the answer or its bytes
};

// A server is allowed this long for a pause in a file it sends: a slow but moving
// line pauses longer than a text answer may.
constexpr unsigned kFileWaitMilliseconds = 15000;

struct Request {
    bool ranged = false;            // ask for the bytes from `first` to `last` only
    uint64_t first = 0;
    uint64_t last = kUnknown;       // kUnknown: to the file's end
    uint64_t fileSize = kUnknown;   // the file's size, when known: a range must name it, a whole answer have it
    uint64_t largest = kUnknown;    // the most bytes of a whole answer that are taken
    unsigned waitMilliseconds = kFileWaitMilliseconds;
};

// Told, before the body, which answer it is and the body's length (kUnknown when
// the server named none); false leaves it unread (Refused).
using AnswerBegins = std::function<bool(Answer kind, uint64_t length)>;

class Fetcher {
 public:
    virtual ~Fetcher() = default;
    // Streams the file at `url`, or the range that `request` asks for, into `sink`,
    // looking at `stop` before every read and every piece handed on.
    virtual Answer Fetch(const std::string& url, const Request& request, const StopRequest& stop,
                         const AnswerBegins& begins, answer_reading::Sink& sink) = 0;
};

}  // namespace file_fetch
