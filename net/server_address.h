// The vendor's servers are build settings (VL2_FILE_SERVER, VL2_REPORT_SERVER,
// VL2_SITE_HOST): "host[:port]" for plain HTTP, as they always were, or the same
// behind "http://" or "https://". Every address the programs form from a setting,
// and every rule on which scheme may lead to which, lives here: an https build must
// not send one request in plain HTTP because one place forgot to ask.
#pragma once

#include <string>

namespace server_address {

enum class Scheme {
    Http,
    Https,
    Other,  // no scheme the programs speak: never fetched
};

struct ServerAddress {
    Scheme scheme = Scheme::Http;
    std::string authority;  // host[:port], as the setting names it
};

// A server setting taken apart: no scheme is plain HTTP, the schemes' names are
// compared without regard to case, and a trailing "/" is dropped.
ServerAddress ParseServerSetting(const std::string& setting);

// The address of `pathAndQuery` (beginning with "/") on the server of `setting`.
std::string UrlOnServer(const std::string& setting, const std::string& pathAndQuery);

// The scheme a URL begins with ("scheme://", in any case, as URLs allow).
Scheme SchemeOf(const std::string& url);

// Whether the installer fetches a package from `url`, announced by the manifest of
// the file server `fileServerSetting`: an http or https address, and https whenever
// the file server is, since a package that an https build fetched in plain HTTP
// would tell everyone on the way what is installed.
bool IsUsableDownloadUrl(const std::string& url, const std::string& fileServerSetting);

// Whether a request for `from` may follow the server's redirect to `to`: to http or
// https, but never from https down to anything less.
bool MayFollowRedirect(const std::string& from, const std::string& to);

}  // namespace server_address
