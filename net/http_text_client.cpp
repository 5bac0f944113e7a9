#include "net/http_text_client.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "net/server_address.h"

using answer_reading::kUnknown;

namespace {

void SetTimeouts(HINTERNET handle, unsigned receiveMilliseconds) {
    DWORD limit = HttpTextClient::kTimeoutMilliseconds;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &limit, sizeof(limit));
    DWORD receive = receiveMilliseconds;
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
    DWORD retries = 1;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof(retries));
}

bool HeaderText(HINTERNET request, DWORD query, std::string& value) {
    char text[256] = "";
    DWORD size = sizeof(text);
    if (!HttpQueryInfoA(request, query, text, &size, nullptr)) return false;
    value.assign(text, strnlen(text, sizeof(text)));
    return true;
}

// The declared Content-Length; kUnknown when the answer has none.
uint64_t DeclaredLength(HINTERNET request) {
    std::string text;
    if (!HeaderText(request, HTTP_QUERY_CONTENT_LENGTH, text) || text.empty() || text[0] == '-') return kUnknown;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0') return kUnknown;
    return value;
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

// Whether the body of an answer to a request for `location` may be read: over
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

// The body as WinInet delivers it: a read waits only for what is there, so that a
// piece is handed on as soon as it arrives. A read of more than has arrived would
// wait for all of it, however slowly it trickles, and nothing could stop it.
class AnswerBody : public answer_reading::Source {
 public:
    explicit AnswerBody(HINTERNET request) : request_(request) {}
    bool Next(char* buffer, size_t capacity, size_t& got) override {
        got = 0;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request_, &available, 0, 0)) return false;
        if (available == 0) return true;  // the end
        DWORD want = static_cast<DWORD>(available < capacity ? available : capacity);
        DWORD read = 0;
        if (!InternetReadFile(request_, buffer, want, &read)) return false;
        got = read;
        return true;
    }

 private:
    HINTERNET request_;
};

class StringSink : public answer_reading::Sink {
 public:
    explicit StringSink(std::string& text) : text_(text) {}
    bool Take(const char* bytes, size_t size) override {
        text_.append(bytes, size);
        return true;
    }

 private:
    std::string& text_;
};

file_fetch::Answer FromEnding(answer_reading::Ending ending, file_fetch::Answer whenComplete) {
    using answer_reading::Ending;
    switch (ending) {
        case Ending::Complete: return whenComplete;
        case Ending::TooLarge: return file_fetch::Answer::TooLarge;
        case Ending::Stopped: return file_fetch::Answer::Stopped;
        case Ending::Refused: return file_fetch::Answer::Refused;
        case Ending::Short: break;
    }
    return file_fetch::Answer::Failed;
}

}  // namespace

HttpTextClient::HttpTextClient()
    : internet_(InternetOpenA("SetupHtml", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    if (internet_) SetTimeouts(internet_.Get(), kTimeoutMilliseconds);
}

HttpTextClient::Reply HttpTextClient::Send(const std::string& url, const std::string& headers,
                                            unsigned waitMilliseconds) {
    Reply answer;
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
    SetTimeouts(answer.connection.Get(), waitMilliseconds);
    // Every request reaches the server itself: neither WinInet's cache nor a proxy
    // on the way answers in its place, and nothing is kept in the cache. WinInet
    // would follow a redirect by itself, wherever it leads (some versions even from
    // https down to plain HTTP, with a report's addresses in the query); Ask follows
    // them itself instead.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    ScopedInternetHandle request(
        HttpOpenRequestA(answer.connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) return answer;
    SetTimeouts(request.Get(), waitMilliseconds);
    // A certificate the system refuses (another name, an unknown authority, expired)
    // makes the send fail; that failure is the answer.
    if (!HttpSendRequestA(request.Get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0))
        return answer;
    answer.request = std::move(request);
    return answer;
}

HttpTextClient::Reply HttpTextClient::Ask(const std::string& url, const std::string& headers,
                                           unsigned waitMilliseconds) {
    std::string location = url;
    for (unsigned redirects = 0; redirects <= kMaxRedirects; ++redirects) {
        Reply answer = Send(location, headers, waitMilliseconds);
        if (!answer.request) return answer;
        std::string next = RedirectTarget(answer.request.Get(), location);
        if (next.empty()) return answer;
        if (!server_address::MayFollowRedirect(location, next)) return Reply();
        location = next;
    }
    return Reply();
}

bool HttpTextClient::ReadText(const std::string& url, bool needsOk, uint64_t largest, std::string& body) {
    Reply answer = Ask(url, "", kTimeoutMilliseconds);
    if (!answer.request || (needsOk && StatusCode(answer.request.Get()) != HTTP_STATUS_OK)) return false;
    uint64_t declared = DeclaredLength(answer.request.Get());
    if (declared == kUnknown || declared > largest || !MayReadBody(answer.request.Get(), answer.location, declared))
        return false;
    AnswerBody source(answer.request.Get());
    StringSink sink(body);
    StopRequest never;
    return answer_reading::ReadBody(source, declared, largest, never, sink) == answer_reading::Ending::Complete;
}

bool HttpTextClient::ReadTextWithin(const std::string& url, bool needsOk, uint64_t largest, std::string& body) {
    // Its own client on its own thread: what may outlive the deadline owns all it uses.
    auto text = std::make_shared<std::string>();
    auto read = std::make_shared<bool>(false);
    if (!RunWithin(kTextDeadlineMilliseconds, [url, needsOk, largest, text, read] {
            HttpTextClient client;
            *read = client.ReadText(url, needsOk, largest, *text);
        }) ||
        !*read)
        return false;
    body = *text;
    return true;
}

std::string HttpTextClient::Fetch(const std::string& url) {
    std::string body;
    if (!ReadTextWithin(url, false, kMaxBodyBytes, body)) return defaultText_;
    return body.substr(0, strnlen(body.data(), body.size()));
}

std::string HttpTextClient::FetchHere(const std::string& url) {
    std::string body;
    if (!ReadText(url, false, kMaxBodyBytes, body)) return defaultText_;
    return body.substr(0, strnlen(body.data(), body.size()));
}

bool HttpTextClient::FetchBody(const std::string& url, uint64_t largest, std::string& body) {
    return ReadTextWithin(url, true, largest, body);
}

file_fetch::Answer HttpTextClient::Fetch(const std::string& url, const file_fetch::Request& request,
                                         const StopRequest& stop, const file_fetch::AnswerBegins& begins,
                                         answer_reading::Sink& sink) {
    using file_fetch::Answer;
    std::string headers;
    if (request.ranged)
        headers = "Range: bytes=" + std::to_string(request.first) + "-" +
                  (request.last == kUnknown ? std::string() : std::to_string(request.last)) + "\r\n";
    if (stop.Requested()) return Answer::Stopped;
    Reply answer = Ask(url, headers, request.waitMilliseconds);
    if (!answer.request) return Answer::Failed;
    if (stop.Requested()) return Answer::Stopped;
    HINTERNET handle = answer.request.Get();
    DWORD status = StatusCode(handle);
    uint64_t declared = DeclaredLength(handle);
    Answer kind = Answer::Failed;
    uint64_t largest = kUnknown;
    if (status == HTTP_STATUS_OK) {
        kind = Answer::Whole;
        largest = request.largest;
        if (request.fileSize != kUnknown && declared != kUnknown && declared != request.fileSize)
            return Answer::Failed;
        if (declared != kUnknown && request.largest != kUnknown && declared > request.largest)
            return Answer::TooLarge;
    } else if (status == HTTP_STATUS_PARTIAL_CONTENT && request.ranged) {
        // Only the range asked for, of the file asked for; a server that answers with
        // another piece is a server whose bytes would land at the wrong place.
        std::string range;
        if (!HeaderText(handle, HTTP_QUERY_CONTENT_RANGE, range) ||
            !answer_reading::IsRangeAskedFor(range, declared, request.first, request.last, request.fileSize))
            return Answer::Failed;
        kind = Answer::Partial;
        largest = declared;
    } else {
        return Answer::Failed;
    }
    if (!MayReadBody(handle, answer.location, declared)) return Answer::Failed;
    if (begins && !begins(kind, declared)) return Answer::Refused;
    AnswerBody source(handle);
    return FromEnding(answer_reading::ReadBody(source, declared, largest, stop, sink), kind);
}
