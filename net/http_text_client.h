// Fetches a URL's body as text over HTTP or HTTPS with WinInet. Used for the update
// manifest and the install and removal reports, all of which run before or around
// the suite's start, so every wait is bounded.
//
// Over HTTPS the system checks the server's certificate and nothing waives a
// problem: no flag ignores one, nobody is asked, nothing is tried again in plain
// HTTP. A certificate problem is a request that failed, like a server that is not
// there.
#pragma once

#include <string>

#include "framework/scoped.h"

class HttpTextClient {
 public:
    // Connect, send and receive limits; a server that accepts and never answers
    // holds a fetch for about this long, not for WinInet's default minutes.
    static constexpr unsigned kTimeoutMilliseconds = 4000;
    // A body larger than this is not taken as text.
    static constexpr unsigned kMaxBodyBytes = 1u << 20;
    // A server that sends a request on further than this is treated as one that
    // does not answer.
    static constexpr unsigned kMaxRedirects = 5;

    HttpTextClient();
    ~HttpTextClient() = default;

    void SetDefaultText(const std::string& text) { defaultText_ = text; }

    // The body of a response that carries a Content-Length (the status code is not
    // examined, except that a redirect is followed when it may be), up to its first
    // zero byte; the default text when nothing was read.
    std::string Fetch(const std::string& url);

 private:
    // A request sent and answered; its connection lives as long as it does.
    struct Answer {
        ScopedInternetHandle connection;
        ScopedInternetHandle request;
    };
    // Sends a GET for `url` and waits for the answer's head; no request handle when
    // it could not be sent (over HTTPS: when the system refused the certificate).
    Answer Send(const std::string& url);

    ScopedInternetHandle internet_;
    std::string defaultText_;
};
