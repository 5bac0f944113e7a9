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

// The declared Content-Length; false when the answer has none.
bool DeclaredLength(HINTERNET request, uint64_t& length) {
    char text[32] = "";
    DWORD size = sizeof(text);
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-') return false;
    length = value;
    return true;
}

DWORD StatusCode(HINTERNET request) {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

// Where a redirect answer sends the request, resolved against `url`; "" for any
// other answer.
std::string RedirectTarget(HINTERNET request, const std::string& url) {
    DWORD status = StatusCode(request);
    if (status != HTTP_STATUS_MOVED && status != HTTP_STATUS_REDIRECT && status != HTTP_STATUS_REDIRECT_METHOD &&
        status != HTTP_STATUS_REDIRECT_KEEP_VERB && status != HTTP_STATUS_PERMANENT_REDIRECT)
        return "";
    char location[2048] = "";
    DWORD size = sizeof(location);
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return "";
    char target[2048] = "";
    size = sizeof(target);
    if (!InternetCombineUrlA(url.c_str(), location, target, &size, ICU_NO_ENCODE)) return "";
    return target;
}

// Whether `length` bytes of the answer to a request for `location` may be read: over
// HTTPS only when the system calls the connection secure (a certificate it checked
// and accepted, and encryption). Asked only when there is a body to read: once an
// answer has nothing more to read, Wine hands its connection back and reports no
// flags at all.
bool MayReadBody(HINTERNET request, const std::string& location, uint64_t length) {
    if (length == 0 || server_address::SchemeOf(location) != server_address::Scheme::Https) return true;
    DWORD flags = 0, size = sizeof(flags);
    return InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size) &&
           (flags & SECURITY_FLAG_SECURE) != 0;
}

// Reads `length` bytes of the body: a body may arrive in several pieces. Returns
// what arrived before the connection ended.
std::string ReadBody(HINTERNET request, uint64_t length) {
    std::string body(static_cast<size_t>(length), '\0');
    DWORD total = 0;
    while (total < length) {
        DWORD got = 0;
        if (!InternetReadFile(request, &body[total], static_cast<DWORD>(length) - total, &got) || got == 0) break;
        total += got;
    }
    body.resize(total);
    return body;
}

}  // namespace

HttpTextClient::HttpTextClient()
    : internet_(InternetOpenA("SetupHtml", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    if (internet_) SetTimeouts(internet_.Get());
}

HttpTextClient::Answer HttpTextClient::Send(const std::string& url, const std::string& headers) {
    Answer answer;
    answer.location = url;
    if (!internet_) return answer;
    // The request goes through an explicit connection rather than one call on the
    // URL, because only connection and request handles honour the time-outs.
    char host[256] = "", path[2048] = "", extra[2048] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
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
    // report's addresses in the query); Ask follows them itself instead.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    ScopedInternetHandle request(
        HttpOpenRequestA(answer.connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) return answer;
    SetTimeouts(request.Get());
    // A certificate the system refuses (another name, an unknown authority, expired)
    // makes the send fail; that failure is the answer.
    if (!HttpSendRequestA(request.Get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0))
        return answer;
    answer.request = std::move(request);
    return answer;
}

HttpTextClient::Answer HttpTextClient::Ask(const std::string& url, const std::string& headers) {
    std::string location = url;
    for (unsigned redirects = 0; redirects <= kMaxRedirects; ++redirects) {
        Answer answer = Send(location, headers);
        if (!answer.request) return answer;
        std::string next = RedirectTarget(answer.request.Get(), location);
        if (next.empty()) return answer;
        if (!server_address::MayFollowRedirect(location, next)) return Answer();
        location = next;
    }
    return Answer();
}

std::string HttpTextClient::Fetch(const std::string& url) {
    Answer answer = Ask(url, "");
    uint64_t declared = 0;
    if (!answer.request || !DeclaredLength(answer.request.Get(), declared) || declared > kMaxBodyBytes ||
        !MayReadBody(answer.request.Get(), answer.location, declared))
        return defaultText_;
    std::string body = ReadBody(answer.request.Get(), declared);
    return body.substr(0, strnlen(body.data(), body.size()));
}

bool HttpTextClient::FetchBody(const std::string& url, uint64_t largest, std::string& body) {
    Answer answer = Ask(url, "");
    uint64_t declared = 0;
    if (!answer.request || StatusCode(answer.request.Get()) != HTTP_STATUS_OK ||
        !DeclaredLength(answer.request.Get(), declared) || declared > largest ||
        !MayReadBody(answer.request.Get(), answer.location, declared))
        return false;
    body = ReadBody(answer.request.Get(), declared);
    return body.size() == declared;
}

HttpTextClient::RangeAnswer HttpTextClient::FetchRange(const std::string& url, uint64_t first, uint64_t last,
                                                       std::string& bytes) {
    if (last < first || last - first >= kMaxRangeBytes) return RangeAnswer::Failed;
    std::string range = "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n";
    Answer answer = Ask(url, range);
    if (!answer.request) return RangeAnswer::Failed;
    DWORD status = StatusCode(answer.request.Get());
    if (status == HTTP_STATUS_OK) return RangeAnswer::WholeFile;
    uint64_t declared = 0;
    if (status != HTTP_STATUS_PARTIAL_CONTENT || !DeclaredLength(answer.request.Get(), declared) ||
        declared != last - first + 1 || !MayReadBody(answer.request.Get(), answer.location, declared))
        return RangeAnswer::Failed;
    bytes = ReadBody(answer.request.Get(), declared);
    return bytes.size() == declared ? RangeAnswer::Partial : RangeAnswer::Failed;
}
