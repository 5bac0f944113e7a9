#include "net/server_address.h"

#include <cctype>

#include "framework/text.h"

namespace server_address {
namespace {

bool BeginsWithNoCase(const std::string& s, const char* prefix) {
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i)
        if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

const char* SchemeText(Scheme scheme) { return scheme == Scheme::Https ? "https://" : "http://"; }

}  // namespace

Scheme SchemeOf(const std::string& url) {
    if (BeginsWithNoCase(url, "http://")) return Scheme::Http;
    if (BeginsWithNoCase(url, "https://")) return Scheme::Https;
    return Scheme::Other;
}

ServerAddress ParseServerSetting(const std::string& setting) {
    ServerAddress address;
    std::string rest = text::Trim(setting);
    address.scheme = SchemeOf(rest);
    if (address.scheme == Scheme::Other)
        address.scheme = rest.find("://") == std::string::npos ? Scheme::Http : Scheme::Other;
    else
        rest = rest.substr(rest.find("://") + 3);
    address.authority = text::TrimRightAny(rest, "/");
    return address;
}

std::string UrlOnServer(const std::string& setting, const std::string& pathAndQuery) {
    ServerAddress address = ParseServerSetting(setting);
    // A setting in another scheme (which the build refuses) gives an address that
    // no request takes, rather than one in plain HTTP.
    if (address.scheme == Scheme::Other) return setting + pathAndQuery;
    return SchemeText(address.scheme) + address.authority + pathAndQuery;
}

bool IsUsableDownloadUrl(const std::string& url, const std::string& fileServerSetting) {
    Scheme scheme = SchemeOf(url);
    if (ParseServerSetting(fileServerSetting).scheme == Scheme::Https) return scheme == Scheme::Https;
    return scheme == Scheme::Http || scheme == Scheme::Https;
}

bool MayFollowRedirect(const std::string& from, const std::string& to) {
    Scheme next = SchemeOf(to);
    if (SchemeOf(from) == Scheme::Https) return next == Scheme::Https;
    return next == Scheme::Http || next == Scheme::Https;
}

}  // namespace server_address
