#include "net/http_text_client.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/server_address.h"

namespace {

void SetTimeouts(HINTERNET handle) {
    DWORD limit = HttpTextClient::kTimeoutMilliseconds;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof(limit));
    DWORD retries = 1;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof(retries));
}

// Whether the answer came over a connection the system calls secure: a certificate
// it checked and accepted, and encryption.
bool CameSecurely(HINTERNET request) {
    DWORD flags = 0, size = sizeof(flags);
    return InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size) &&
           (flags & SECURITY_FLAG_SECURE) != 0;
}

// Where a redirect answer sends the request, resolved against `url`; "" for any
// other answer.
std::string RedirectTarget(HINTERNET request, const std::string& url) {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return "";
    if (status != HTTP_STATUS_MOVED && status != HTTP_STATUS_REDIRECT && status != HTTP_STATUS_REDIRECT_METHOD &&
        status != HTTP_STATUS_REDIRECT_KEEP_VERB && status != HTTP_STATUS_PERMANENT_REDIRECT)
        return "";
    char location[2048] = "";
    size = sizeof(location);
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return "";
    char target[2048] = "";
    size = sizeof(target);
    if (!InternetCombineUrlA(url.c_str(), location, target, &size, ICU_NO_ENCODE)) return "";
    return target;
}

// The body of an answer to a request for `url`; over HTTPS only when it came over a
// connection the system calls secure.
std::string ReadBody(HINTERNET request, const std::string& url, const std::string& defaultText) {
    char lengthText[32] = "";
    DWORD lengthSize = sizeof(lengthText);
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr)) return defaultText;
    long declared = atol(lengthText);
    if (declared < 0 || static_cast<unsigned long>(declared) > HttpTextClient::kMaxBodyBytes) return defaultText;
    // Asked only when there is a body to read: once an answer has nothing more to
    // read, Wine hands its connection back and reports no flags at all.
    if (declared > 0 && server_address::SchemeOf(url) == server_address::Scheme::Https && !CameSecurely(request))
        return defaultText;

    // A body may arrive in several pieces: read until the declared length has
    // arrived or the connection ends.
    std::vector<char> body(static_cast<size_t>(declared) + 1, '\0');
    DWORD total = 0;
    while (total < static_cast<DWORD>(declared)) {
        DWORD got = 0;
        if (!InternetReadFile(request, body.data() + total, static_cast<DWORD>(declared) - total, &got) || got == 0)
            break;
        total += got;
    }
    body[total] = '\0';
    return std::string(body.data(), strnlen(body.data(), total));
}

}  // namespace

HttpTextClient::HttpTextClient()
    : internet_(InternetOpenA("SetupHtml", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    if (internet_) SetTimeouts(internet_.Get());
}

HttpTextClient::Answer HttpTextClient::Send(const std::string& url) {
    Answer answer;
    // The request goes through an explicit connection rather than one call on the
    // URL, because only connection and request handles honour the time-outs.
    char host[256] = "", path[2048] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    char extra[2048] = "";
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof(extra);
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return answer;
    bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP) return answer;
    std::string object = std::string(path) + extra;
    if (object.empty()) object = "/";

    // Without a port in the URL, InternetCrackUrlA gives the scheme's own.
    answer.connection.Reset(
        InternetConnectA(internet_.Get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!answer.connection) return answer;
    SetTimeouts(answer.connection.Get());
    // Every fetch reaches the server itself: neither WinInet's cache nor a proxy on
    // the way may keep a manifest (a forged one would outlive the attack) or answer
    // a report in the server's place. WinInet would follow a redirect by itself,
    // wherever it leads (some versions even from https down to plain HTTP, with a
    // report's addresses in the query); Fetch follows them itself instead.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    ScopedInternetHandle request(
        HttpOpenRequestA(answer.connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) return answer;
    SetTimeouts(request.Get());
    // A certificate the system refuses (another name, an unknown authority, expired)
    // makes the send fail; that failure is the answer.
    if (!HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return answer;
    answer.request = std::move(request);
    return answer;
}

std::string HttpTextClient::Fetch(const std::string& url) {
    if (!internet_) return defaultText_;
    std::string location = url;
    for (unsigned redirects = 0; redirects <= kMaxRedirects; ++redirects) {
        Answer answer = Send(location);
        if (!answer.request) return defaultText_;
        std::string next = RedirectTarget(answer.request.Get(), location);
        if (next.empty()) return ReadBody(answer.request.Get(), location, defaultText_);
        if (!server_address::MayFollowRedirect(location, next)) return defaultText_;
        location = next;
    }
    return defaultText_;
}
