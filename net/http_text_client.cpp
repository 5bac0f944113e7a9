#include "net/http_text_client.h"

#include <cstdlib>
#include <cstring>
#include <vector>

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

ScopedInternetHandle HttpTextClient::Send(const std::string& url, const std::string& headers,
                                          ScopedInternetHandle& connection) {
    if (!internet_) return ScopedInternetHandle();
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
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP)
        return ScopedInternetHandle();
    std::string object = std::string(path) + extra;
    if (object.empty()) object = "/";

    connection.Reset(InternetConnectA(internet_.Get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return ScopedInternetHandle();
    SetTimeouts(connection.Get());
    // Every fetch reaches the server itself: neither WinInet's cache nor a proxy on
    // the way may keep a manifest (a forged one would outlive the attack) or answer
    // a report in the server's place.
    const DWORD kNoCache = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    ScopedInternetHandle request(
        HttpOpenRequestA(connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, kNoCache, 0));
    if (!request) return ScopedInternetHandle();
    SetTimeouts(request.Get());
    if (!HttpSendRequestA(request.Get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0))
        return ScopedInternetHandle();
    return request;
}

std::string HttpTextClient::Fetch(const std::string& url) {
    ScopedInternetHandle connection;
    ScopedInternetHandle request = Send(url, "", connection);
    uint64_t declared = 0;
    if (!request || !DeclaredLength(request.Get(), declared) || declared > kMaxBodyBytes) return defaultText_;
    std::string body = ReadBody(request.Get(), declared);
    return body.substr(0, strnlen(body.data(), body.size()));
}

bool HttpTextClient::FetchBody(const std::string& url, uint64_t largest, std::string& body) {
    ScopedInternetHandle connection;
    ScopedInternetHandle request = Send(url, "", connection);
    uint64_t declared = 0;
    if (!request || StatusCode(request.Get()) != HTTP_STATUS_OK || !DeclaredLength(request.Get(), declared) ||
        declared > largest)
        return false;
    body = ReadBody(request.Get(), declared);
    return body.size() == declared;
}

HttpTextClient::RangeAnswer HttpTextClient::FetchRange(const std::string& url, uint64_t first, uint64_t last,
                                                       std::string& bytes) {
    if (last < first || last - first >= kMaxRangeBytes) return RangeAnswer::Failed;
    ScopedInternetHandle connection;
    std::string range = "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n";
    ScopedInternetHandle request = Send(url, range, connection);
    if (!request) return RangeAnswer::Failed;
    DWORD status = StatusCode(request.Get());
    if (status == HTTP_STATUS_OK) return RangeAnswer::WholeFile;
    uint64_t declared = 0;
    if (status != HTTP_STATUS_PARTIAL_CONTENT || !DeclaredLength(request.Get(), declared) ||
        declared != last - first + 1)
        return RangeAnswer::Failed;
    bytes = ReadBody(request.Get(), declared);
    return bytes.size() == declared ? RangeAnswer::Partial : RangeAnswer::Failed;
}
