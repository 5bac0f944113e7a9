// Lines of nginx's report log taken apart: what counts as a report, which kind, whose
// machine, which version, and when.
#include "tests/check.h"
#include "cvztool/report_log.h"

using namespace report_log;

namespace {

const char kLine[] = "2024-05-01T12:34:56+09:00\t10.1.2.3\tma=00-0C-29-3A-5B-7C\tinip=10.0.0.5\tjaehuid=VL2B2.01CORVALEN";

const char* KindName(ReportKind kind) {
    switch (kind) {
        case ReportKind::Install: return "install";
        case ReportKind::Update: return "update";
        case ReportKind::Removal: return "removal";
        case ReportKind::FailedStart: return "failed start";
    }
    return "?";
}

}  // namespace

TEST_CASE(report_log, jaehuid_kinds_versions_and_partners) {
    struct {
        const char* value;
        const char* kind;  // nullptr: not a report
        const char* version;
        const char* partner;
    } cases[] = {
        {"VL2B2.01CORVALEN", "install", "2.01", "CORVALEN"},
        {"VL2U2.02CORVALEN", "update", "2.02", "CORVALEN"},
        {"VL2F2.02CORVALEN", "failed start", "2.02", "CORVALEN"},
        {"VL2BDEL2.01", "removal", "2.01", ""},  // not an install of version "DEL2.01"
        {"VL2BDEL", "removal", "", ""},          // the uninstaller found no version
        {"VL2B2.10-rc_1CORVALEN", "install", "2.10-rc_1", "CORVALEN"},
        {"VL2B2.0RCCORVALEN", "install", "2.0RC", "CORVALEN"},  // the known code is split off first
        {"VL2B2.01OTHERCO", "install", "2.01", "OTHERCO"},      // another partner after the digit
        {"VL2B2.01", "install", "2.01", ""},                    // no partner resource
        {"VL2B2.01-BETAX", "install", "2.01-BETAX", ""},        // no digit before the capitals
        // Anyone can send a report: the version is what the request gave, for the
        // tally to judge.
        {"VL2BCORVALEN", "install", "", "CORVALEN"},
        {"VL2B", "install", "", ""},
        {"VL2B2.01\\xEC\\x83CORVALEN", "install", "2.01\\xEC\\x83", "CORVALEN"},  // bytes nginx escaped
        {"VL2BDEL2.01 ", "removal", "2.01 ", ""},
        {"VL2X2.01CORVALEN", nullptr, "", ""},
        {"vl2b2.01CORVALEN", nullptr, "", ""},
        {"", nullptr, "", ""},
    };
    for (const auto& c : cases) {
        std::optional<Jaehuid> jaehuid = SplitJaehuid(c.value);
        CHECK_EQ(std::string(jaehuid ? KindName(jaehuid->kind) : "none") + " " + c.value,
                 std::string(c.kind ? c.kind : "none") + " " + c.value);
        if (!jaehuid || !c.kind) continue;
        CHECK_EQ(jaehuid->version, std::string(c.version));
        CHECK_EQ(jaehuid->partner, std::string(c.partner));
    }
}

TEST_CASE(report_log, logged_times_order_by_utc_and_keep_the_logged_date) {
    struct {
        const char* text;
        bool valid;
        int64_t utcSeconds;
        const char* day;
    } cases[] = {
        {"1970-01-01T00:00:00+00:00", true, 0, "1970-01-01"},
        {"2024-05-01T12:34:56+09:00", true, 1714534496, "2024-05-01"},
        // Just after midnight in Seoul is the previous day in UTC: the day is the server's.
        {"2024-05-01T00:30:00+09:00", true, 1714491000, "2024-05-01"},
        {"2024-04-30T10:00:00-05:30", true, 1714491000, "2024-04-30"},  // the same moment
        {"2024-02-29T23:59:59+00:00", true, 1709251199, "2024-02-29"},
        {"2023-02-29T10:00:00+00:00", false, 0, ""},
        {"2024-04-31T10:00:00+00:00", false, 0, ""},
        {"2024-13-01T10:00:00+00:00", false, 0, ""},
        {"2024-05-01T24:00:00+00:00", false, 0, ""},
        {"2024-05-01 12:34:56+09:00", false, 0, ""},
        {"2024-05-01T12:34:56Z", false, 0, ""},
        {"2024-05-01T12:34:56+0900", false, 0, ""},
        {"2024-05-01T12:3a:56+09:00", false, 0, ""},
        {"01/May/2024:12:34:56 +0900", false, 0, ""},
    };
    for (const auto& c : cases) {
        std::optional<LoggedTime> time = ParseLoggedTime(c.text);
        CHECK_EQ(std::string(time ? "valid " : "invalid ") + c.text, std::string(c.valid ? "valid " : "invalid ") + c.text);
        if (!time || !c.valid) continue;
        CHECK_EQ(time->utcSeconds, c.utcSeconds);
        CHECK_EQ(DayText(time->localDay), std::string(c.day));
    }
}

TEST_CASE(report_log, machine_addresses_are_the_installers_form_or_none) {
    std::optional<MachineAddress> mac = ParseMachineAddress("00-0C-29-3A-5B-7C");
    CHECK(mac && mac->Known());
    CHECK(ParseMachineAddress("00-0c-29-3a-5b-7c") == mac);
    CHECK(!(ParseMachineAddress("00-0C-29-3A-5B-7D") == mac));
    // The same bytes in a shorter address are another machine.
    CHECK(!(ParseMachineAddress("0C-29-3A-5B-7C") == mac));
    CHECK(!(*ParseMachineAddress("00-00") == *ParseMachineAddress("00")));
    CHECK(ParseMachineAddress("01-02-03-04-05-06-AB-FF"));
    std::optional<MachineAddress> none = ParseMachineAddress("");
    CHECK(none && !none->Known());
    const char* refused[] = {"01-02-03-04-05-06-07-08-09", "00-0C-29-3A-5B-7", "00:0C:29:3A:5B:7C", "000C293A5B7C",
                             "00-0C-29-3A-5B-7G", "-", "00-", "\\x00"};
    for (const char* text : refused) CHECK_EQ(std::string(ParseMachineAddress(text) ? "taken " : "refused ") + text,
                                              std::string("refused ") + text);
}

TEST_CASE(report_log, report_lines_and_lines_that_are_not_reports) {
    std::optional<ReportEvent> event = ParseReportLine(kLine);
    CHECK(event);
    if (event) {
        CHECK_EQ(event->time.utcSeconds, int64_t(1714534496));
        CHECK(event->machine == *ParseMachineAddress("00-0C-29-3A-5B-7C"));
        CHECK_EQ(event->jaehuid.version, std::string("2.01"));
    }
    // An empty ma, and one the request did not carry (nginx logs "-"): no machine.
    for (const char* ma : {"ma=", "ma=-"}) {
        std::optional<ReportEvent> anonymous = ParseReportLine(
            std::string("2024-05-01T12:34:56+09:00\t10.1.2.3\t") + ma + "\tinip=\tjaehuid=VL2BDEL2.01");
        CHECK(anonymous && !anonymous->machine.Known() && anonymous->jaehuid.kind == ReportKind::Removal);
    }

    std::string line = kLine;
    const std::string notReports[] = {
        "",
        line.substr(0, line.find("\tjaehuid")),                  // four fields
        line + "\textra=1",                                      // six fields
        "2024-05-01T12:34:56+09:00\t\tma=\tinip=\tjaehuid=VL2B2.01CORVALEN",  // no client address
        "2024-05-01T12:34:56+09:00\t10.1.2.3\tmac=\tinip=\tjaehuid=VL2B2.01CORVALEN",
        "2024-05-01T12:34:56+09:00\t10.1.2.3\tinip=\tma=\tjaehuid=VL2B2.01CORVALEN",
        "2024-05-01T12:34:56+09:00\t10.1.2.3\tma=zz\tinip=\tjaehuid=VL2B2.01CORVALEN",
        "2024-05-01T25:34:56+09:00\t10.1.2.3\tma=\tinip=\tjaehuid=VL2B2.01CORVALEN",
        "2024-05-01T12:34:56+09:00\t10.1.2.3\tma=\tinip=\tjaehuid=-",  // a request without the value
        "127.0.0.1 - - [01/May/2024:12:34:56 +0900] \"GET /installax.asp?ma= HTTP/1.1\" 200 0",
        std::string("2024-05-01T12:34:56+09:00\t10.1.2.3\tma=") + '\0' + "\tinip=\tjaehuid=VL2B2.01CORVALEN",
        line + "\r",
    };
    for (const std::string& text : notReports) CHECK_EQ(std::string(ParseReportLine(text) ? "report: " : "not: ") + text,
                                                        "not: " + text);
}
