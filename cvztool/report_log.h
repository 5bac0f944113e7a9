// One line of the vendor's report log, as nginx writes it for every install, update,
// removal and failed start report (vendor_server/nginx.conf.in):
//
//   $time_iso8601 TAB $remote_addr TAB ma=$arg_ma TAB inip=$arg_inip TAB jaehuid=$arg_jaehuid
//
// The values are the query as the installer sent it (net/install_report.cpp), not
// URL-decoded, with nginx's \xNN for bytes it will not write as they are. Anything
// else in the file (a line cut short, another format, garbage) is not a report and
// is left to the caller to count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace report_log {

// What a report says happened on the machine.
enum class ReportKind {
    Install,  // "VL2B" VERSION PARTNER: a fresh install of VERSION
    Update,   // "VL2U" VERSION PARTNER: an update to VERSION
    Removal,  // "VL2BDEL" VERSION: the uninstaller removed the suite
    // "VL2F" VERSION PARTNER: after an update to VERSION its suite did not start, and
    // the launcher went back to the version before, which the machine is on again.
    FailedStart,
};

// The jaehuid value taken apart.
struct Jaehuid {
    ReportKind kind = ReportKind::Install;
    // As the request gave it: anyone can send a report, so it may be no version
    // `cvztool release` publishes. An empty one in a removal is an uninstaller that
    // found no installed version.
    std::string version;
    // Upper-case letters after the version; empty in a removal.
    std::string partner;
};

// The partner code today's installers carry (their string resource).
constexpr char kKnownPartner[] = "CORVALEN";

// Takes "VL2BDEL2.01", "VL2B2.01CORVALEN", "VL2U2.02CORVALEN" or "VL2F2.02CORVALEN"
// apart. All but removals run the version and the partner together, so the split is a rule:
// the partner is kKnownPartner when the text ends with it; otherwise the trailing
// run of upper-case letters, if a digit stands before it (versions end in a digit:
// "2.01"); otherwise there is no partner and the rest is the version. A version
// that ends in upper-case letters ("2.01RC") is therefore read as carrying a partner
// unless kKnownPartner follows it. Nothing when the text is none of the four kinds.
std::optional<Jaehuid> SplitJaehuid(std::string_view value);

// A moment as $time_iso8601 logs it ("2024-05-01T12:34:56+09:00").
struct LoggedTime {
    int64_t utcSeconds = 0;  // orders reports of servers or files in other time zones
    int32_t localDay = 0;    // the date as logged, in the server's time zone: days since 1970-01-01
};

std::optional<LoggedTime> ParseLoggedTime(std::string_view text);

// "YYYY-MM-DD" for a day counted from 1970-01-01.
std::string DayText(int32_t day);

// A machine's physical address as the installer formats it (00-0C-29-3A-5B-7C: one to
// eight bytes), packed: a report log of millions of lines names every machine many
// times, and the machines are what the report must hold in memory.
struct MachineAddress {
    uint64_t bytes = 0;
    uint8_t length = 0;  // 0: the report named no machine

    bool Known() const { return length != 0; }
    bool operator==(const MachineAddress& other) const { return bytes == other.bytes && length == other.length; }
};

struct MachineAddressHash {
    size_t operator()(const MachineAddress& address) const {
        return std::hash<uint64_t>()(address.bytes ^ (uint64_t(address.length) << 56));
    }
};

// "" is a report without a machine; otherwise upper- or lower-case hex byte pairs
// joined by "-". Nothing for any other text.
std::optional<MachineAddress> ParseMachineAddress(std::string_view text);

struct ReportEvent {
    LoggedTime time;
    MachineAddress machine;
    Jaehuid jaehuid;
};

// One line without its line break. Nothing when it is not a report line: not five
// tab-separated fields, a time that does not parse, fields without their "ma=",
// "inip=" or "jaehuid=", a machine address that the installer does not send, a
// jaehuid of no kind above or holding a raw control byte (nginx escapes them).
std::optional<ReportEvent> ParseReportLine(std::string_view line);

}  // namespace report_log
