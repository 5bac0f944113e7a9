// Fetches a URL's body as text over plain HTTP with WinInet. Used for the update
// manifest and the install and removal reports, all of which run before or around
// the suite's start, so every wait is bounded.
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

    HttpTextClient();
    ~HttpTextClient() = default;

    void SetDefaultText(const std::string& text) { defaultText_ = text; }

    // The body of a response that carries a Content-Length (the status code is not
    // examined), up to its first zero byte; the default text when nothing was read.
    std::string Fetch(const std::string& url);

 private:
    ScopedInternetHandle internet_;
    std::string defaultText_;
};
