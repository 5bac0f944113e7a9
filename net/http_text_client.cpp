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

}  // namespace

HttpTextClient::HttpTextClient()
    : internet_(InternetOpenA("SetupHtml", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    if (internet_) SetTimeouts(internet_.Get());
}

std::string HttpTextClient::Fetch(const std::string& url) {
    std::string result = defaultText_;
    if (!internet_) return result;

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
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP) return result;
    std::string object = std::string(path) + extra;
    if (object.empty()) object = "/";

    ScopedInternetHandle connection(InternetConnectA(internet_.Get(), host, parts.nPort, nullptr, nullptr,
                                                     INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return result;
    SetTimeouts(connection.Get());
    // Every fetch reaches the server itself: neither WinInet's cache nor a proxy on
    // the way may keep a manifest (a forged one would outlive the attack) or answer
    // a report in the server's place.
    const DWORD kNoCache = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    ScopedInternetHandle request(
        HttpOpenRequestA(connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, kNoCache, 0));
    if (!request) return result;
    SetTimeouts(request.Get());
    if (!HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return result;

    char lengthText[32] = "";
    DWORD lengthSize = sizeof(lengthText);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr)) return result;
    long declared = atol(lengthText);
    if (declared < 0 || static_cast<unsigned long>(declared) > kMaxBodyBytes) return result;

    // A body may arrive in several pieces: read until the declared length has
    // arrived or the connection ends.
    std::vector<char> body(static_cast<size_t>(declared) + 1, '\0');
    DWORD total = 0;
    while (total < static_cast<DWORD>(declared)) {
        DWORD got = 0;
        if (!InternetReadFile(request.Get(), body.data() + total, static_cast<DWORD>(declared) - total, &got) ||
            got == 0)
            break;
        total += got;
    }
    body[total] = '\0';
    result.assign(body.data(), strnlen(body.data(), total));
    return result;
}
