#include "net/server_address.h"
#include "tests/check.h"

using server_address::MayFollowRedirect;
using server_address::UrlOnServer;

TEST_CASE(server_address, a_setting_names_its_scheme_or_is_plain_http) {
    struct Row {
        const char* setting;
        const char* url;
    } rows[] = {
        {"update.example.com", "http://update.example.com/velmora2/update/update.inf"},
        {"127.0.0.1:18480", "http://127.0.0.1:18480/velmora2/update/update.inf"},
        {"http://update.example.com:8080", "http://update.example.com:8080/velmora2/update/update.inf"},
        {"https://update.example.com", "https://update.example.com/velmora2/update/update.inf"},
        {"HTTPS://localhost:18443/", "https://localhost:18443/velmora2/update/update.inf"},
        {" https://localhost ", "https://localhost/velmora2/update/update.inf"},
        // Not a scheme the programs speak: never turned into a plain HTTP address.
        {"ftp://update.example.com", "ftp://update.example.com/velmora2/update/update.inf"},
    };
    for (const Row& row : rows) CHECK_EQ(UrlOnServer(row.setting, "/velmora2/update/update.inf"), std::string(row.url));
}

TEST_CASE(server_address, a_redirect_never_steps_down_from_https) {
    struct Row {
        const char* from;
        const char* to;
        bool followed;
    } rows[] = {
        {"https://a.example/u.inf", "https://b.example/u.inf", true},
        {"https://a.example/u.inf", "HTTPS://a.example/v.inf", true},
        {"https://a.example/u.inf", "http://a.example/u.inf", false},
        {"https://a.example/u.inf", "HTTP://a.example/u.inf", false},
        {"https://a.example/u.inf", "ftp://a.example/u.inf", false},
        {"HTTPS://a.example/u.inf", "http://a.example/u.inf", false},
        {"http://a.example/u.inf", "https://a.example/u.inf", true},
        {"http://a.example/u.inf", "http://b.example/u.inf", true},
        {"http://a.example/u.inf", "file:///C:/u.inf", false},
    };
    for (const Row& row : rows) {
        if (MayFollowRedirect(row.from, row.to) != row.followed)
            check::Fail(__FILE__, __LINE__, std::string(row.from) + " -> " + row.to);
    }
}
