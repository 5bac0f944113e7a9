#include "net/answer_reading.h"

#include <algorithm>
#include <vector>

namespace answer_reading {

namespace {

// One read's worth: small enough that a slow line hands on what it has often.
constexpr size_t kPieceBytes = 64 * 1024;

bool ParseDecimal(const std::string& text, size_t& at, uint64_t& value) {
    size_t begin = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
        ++at;
    }
    return at > begin && at - begin <= 19;
}

}  // namespace

Ending ReadBody(Source& source, uint64_t length, uint64_t largest, const StopRequest& stop, Sink& sink) {
    std::vector<char> buffer(kPieceBytes);
    uint64_t taken = 0;
    for (;;) {
        if (length != kUnknown && taken >= length) return Ending::Complete;
        if (stop.Requested()) return Ending::Stopped;
        // Never more than the answer named, so that the read after the last byte is
        // not waited for.
        size_t want = buffer.size();
        if (length != kUnknown) want = static_cast<size_t>(std::min<uint64_t>(want, length - taken));
        size_t got = 0;
        if (!source.Next(buffer.data(), want, got)) return Ending::Short;
        if (got == 0) return length == kUnknown ? Ending::Complete : Ending::Short;
        // A read may have waited long: what it brought is not handed on once the
        // stop request has come.
        if (stop.Requested()) return Ending::Stopped;
        bool tooLarge = largest != kUnknown && taken + got > largest;
        if (tooLarge) got = static_cast<size_t>(largest - taken);
        if (got > 0 && !sink.Take(buffer.data(), got)) return Ending::Refused;
        taken += got;
        if (tooLarge) return Ending::TooLarge;
    }
}

bool ParseContentRange(const std::string& header, ContentRange& range) {
    const std::string unit = "bytes ";
    if (header.compare(0, unit.size(), unit) != 0) return false;
    size_t at = unit.size();
    ContentRange read;
    if (!ParseDecimal(header, at, read.first) || at >= header.size() || header[at++] != '-') return false;
    if (!ParseDecimal(header, at, read.last) || at >= header.size() || header[at++] != '/') return false;
    if (header.compare(at, std::string::npos, "*") == 0) {
        read.size = kUnknown;
    } else if (!ParseDecimal(header, at, read.size) || at != header.size()) {
        return false;
    }
    if (read.first > read.last || (read.size != kUnknown && read.last >= read.size)) return false;
    range = read;
    return true;
}

bool IsRangeAskedFor(const std::string& contentRange, uint64_t length, uint64_t first, uint64_t last,
                     uint64_t fileSize) {
    ContentRange range;
    if (!ParseContentRange(contentRange, range) || range.size == kUnknown) return false;
    if (fileSize != kUnknown && range.size != fileSize) return false;
    // Asked "to the end": the range must reach it.
    uint64_t wantedLast = last == kUnknown ? range.size - 1 : last;
    return range.first == first && range.last == wantedLast && length == wantedLast - first + 1;
}

}  // namespace answer_reading
