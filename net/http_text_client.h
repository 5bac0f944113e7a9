// Fetches what the vendor's servers answer over HTTP or HTTPS with WinInet: the
// update manifest and the install and removal reports as text, and the file list
// and byte ranges of a package for an update that fetches only what changed. All
// of it runs before or around the suite's start, so every wait is bounded.
//
// Over HTTPS the system checks the server's certificate and nothing waives a
// problem: no flag ignores one, nobody is asked, nothing is tried again in plain
// HTTP. A certificate problem is a request that failed, like a server that is not
// there.
#pragma once

#include <cstdint>
#include <string>

#include "framework/scoped.h"

class HttpTextClient {
 public:
    // Connect, send and receive limits; a server that accepts and never answers
    // holds a fetch for about this long, not for WinInet's default minutes.
    static constexpr unsigned kTimeoutMilliseconds = 4000;
    // A body larger than this is not taken as text.
    static constexpr unsigned kMaxBodyBytes = 1u << 20;
    // A range is asked for in pieces of at most this much, so that none takes much memory.
    static constexpr uint64_t kMaxRangeBytes = 4u << 20;
    // A server that sends a request on further than this is treated as one that
    // does not answer.
    static constexpr unsigned kMaxRedirects = 5;

    // How a request for part of a file was answered.
    enum class RangeAnswer {
        Partial,    // 206 with exactly the bytes asked for
        WholeFile,  // the server ignores ranges and answered with the whole file
        Failed,     // no answer, another status, or not the bytes asked for
    };

    HttpTextClient();
    ~HttpTextClient() = default;

    void SetDefaultText(const std::string& text) { defaultText_ = text; }

    // The body of a response that carries a Content-Length (the status code is not
    // examined, except that a redirect is followed when it may be), up to its first
    // zero byte; the default text when nothing was read.
    std::string Fetch(const std::string& url);
    // The whole body of a 200 answer of at most `largest` bytes, zero bytes and all.
    bool FetchBody(const std::string& url, uint64_t largest, std::string& body);
    // Bytes `first` to `last` (both included) of the file at `url`.
    RangeAnswer FetchRange(const std::string& url, uint64_t first, uint64_t last, std::string& bytes);

 private:
    // A request answered; its connection lives as long as it does. `location` is
    // where the answer came from.
    struct Answer {
        ScopedInternetHandle connection;
        ScopedInternetHandle request;
        std::string location;
    };
    // A GET for `url` sent with `headers` ("" for none), and again wherever the
    // server sends it on as long as that may be followed; no request handle when
    // there is no answer to use.
    Answer Ask(const std::string& url, const std::string& headers);
    // One GET; no request handle when it could not be sent (over HTTPS: when the
    // system refused the certificate).
    Answer Send(const std::string& url, const std::string& headers);

    ScopedInternetHandle internet_;
    std::string defaultText_;
};
