// Fetches what the vendor's servers answer over HTTP or HTTPS with WinInet: the
// update manifest, the file list and the install, removal and failed-start reports
// as text, and packages (whole, resumed, or by byte ranges) streamed to a sink. All
// of it runs before or around the suite's start, so every wait is bounded: a text
// request ends at its deadline whatever its server does, and a file is read piece by
// piece as it arrives, with the stop request looked at before every read and every
// piece handed on (answer_reading holds those rules).
//
// Nothing comes from, or goes into, WinInet's cache: a forged manifest would
// outlive the attack, a cached package would be read again by name, and a report a
// cache answers never reaches the vendor.
//
// Over HTTPS the system checks the server's certificate and nothing waives a
// problem: no flag ignores one, nobody is asked, nothing is tried again in plain
// HTTP. A certificate problem is a request that failed, like a server that is not
// there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/scoped.h"
#include "framework/worker.h"
#include "net/file_fetch.h"
#include "net/manifest.h"

class HttpTextClient : public file_fetch::Fetcher {
 public:
    // Connect and send limits, and the longest wait for a piece of a text answer; a
    // server that accepts and never answers holds a request for about this long.
    static constexpr unsigned kTimeoutMilliseconds = 4000;
    // A whole text request, from connecting to its last byte.
    static constexpr unsigned kTextDeadlineMilliseconds = 10000;
    // A text answer larger than this is not taken: no manifest is larger.
    static constexpr unsigned kMaxBodyBytes = kLargestManifestBytes;
    // A server that sends a request on further than this is treated as one that
    // does not answer.
    static constexpr unsigned kMaxRedirects = 5;

    HttpTextClient();
    ~HttpTextClient() override = default;

    void SetDefaultText(const std::string& text) { defaultText_ = text; }

    // The body of a response that carries a Content-Length (the status code is not
    // examined, except that a redirect is followed when it may be), up to its first
    // zero byte; the default text when nothing was read by the deadline.
    std::string Fetch(const std::string& url);
    // Fetch's request on the caller's own thread, for a caller that runs it apart and
    // bounds it itself (start-up's manifest request).
    std::string FetchHere(const std::string& url);
    // The whole body of a 200 answer of at most `largest` bytes, zero bytes and all,
    // by the deadline.
    bool FetchBody(const std::string& url, uint64_t largest, std::string& body);
    file_fetch::Answer Fetch(const std::string& url, const file_fetch::Request& request, const StopRequest& stop,
                             const file_fetch::AnswerBegins& begins, answer_reading::Sink& sink) override;

 private:
    // A request answered; its connection lives as long as it does. `location` is
    // where the answer came from.
    struct Reply {
        ScopedInternetHandle connection;
        ScopedInternetHandle request;
        std::string location;
    };
    // A GET for `url` sent with `headers` ("" for none), and again wherever the
    // server sends it on as long as that may be followed; no request handle when
    // there is no answer to use.
    Reply Ask(const std::string& url, const std::string& headers, unsigned waitMilliseconds);
    // One GET; no request handle when it could not be sent (over HTTPS: when the
    // system refused the certificate).
    Reply Send(const std::string& url, const std::string& headers, unsigned waitMilliseconds);
    // A text request as Fetch and FetchBody make it, without their deadline.
    bool ReadText(const std::string& url, bool needsOk, uint64_t largest, std::string& body);
    // The same, on a thread of its own, given up at the text deadline.
    static bool ReadTextWithin(const std::string& url, bool needsOk, uint64_t largest, std::string& body);

    ScopedInternetHandle internet_;
    std::string defaultText_;
};
