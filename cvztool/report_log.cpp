#include "cvztool/report_log.h"

#include <ctime>

namespace report_log {

namespace {

// Tested before kInstallMarker, which begins it.
constexpr std::string_view kRemovalMarker = "VL2BDEL";
constexpr std::string_view kInstallMarker = "VL2B";
constexpr std::string_view kUpdateMarker = "VL2U";
constexpr std::string_view kFailedStartMarker = "VL2F";

constexpr int64_t kSecondsPerDay = 86400;

// Byte tests that do not depend on the C library's locale: the log is bytes.
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool StartsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

// Where the partner code begins in "VERSION PARTNER" (the text's end when there is none).
size_t PartnerStart(std::string_view rest) {
    std::string_view known = kKnownPartner;
    if (rest.size() >= known.size() && rest.substr(rest.size() - known.size()) == known)
        return rest.size() - known.size();
    size_t start = rest.size();
    while (start > 0 && IsUpper(rest[start - 1])) --start;
    bool afterDigit = start > 0 && start < rest.size() && IsDigit(rest[start - 1]);
    return afterDigit ? start : rest.size();
}

// The number in `count` digits at `text`, or -1 when one of them is not a digit.
int Digits(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value after "NAME=" in a field, or nothing when the field is another one.
std::optional<std::string_view> FieldValue(std::string_view field, std::string_view name) {
    if (!StartsWith(field, name) || field.size() <= name.size() || field[name.size()] != '=') return std::nullopt;
    return field.substr(name.size() + 1);
}

}  // namespace

std::optional<Jaehuid> SplitJaehuid(std::string_view value) {
    Jaehuid jaehuid;
    if (StartsWith(value, kRemovalMarker)) {
        jaehuid.kind = ReportKind::Removal;
        jaehuid.version = value.substr(kRemovalMarker.size());
        return jaehuid;
    }
    if (StartsWith(value, kInstallMarker))
        jaehuid.kind = ReportKind::Install;
    else if (StartsWith(value, kUpdateMarker))
        jaehuid.kind = ReportKind::Update;
    else if (StartsWith(value, kFailedStartMarker))
        jaehuid.kind = ReportKind::FailedStart;
    else
        return std::nullopt;
    std::string_view rest = value.substr(kInstallMarker.size());  // the same length for the three
    size_t partnerStart = PartnerStart(rest);
    jaehuid.version = rest.substr(0, partnerStart);
    jaehuid.partner = rest.substr(partnerStart);
    return jaehuid;
}

std::optional<LoggedTime> ParseLoggedTime(std::string_view text) {
    // 2024-05-01T12:34:56+09:00
    if (text.size() != 25 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || (text[19] != '+' && text[19] != '-') || text[22] != ':')
        return std::nullopt;
    int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    int offsetHours = Digits(text, 20, 2), offsetMinutes = Digits(text, 23, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60 || offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59)
        return std::nullopt;
    struct tm date = {};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    time_t midnight = timegm(&date);
    // timegm moves 30 February to March; a date it had to move is not a date.
    if (date.tm_mon != month - 1 || date.tm_mday != day) return std::nullopt;
    LoggedTime logged;
    logged.localDay = static_cast<int32_t>(midnight / kSecondsPerDay);
    int64_t offset = (offsetHours * 60 + offsetMinutes) * 60;
    logged.utcSeconds = int64_t(midnight) + hour * 3600 + minute * 60 + second - (text[19] == '+' ? offset : -offset);
    return logged;
}

std::string DayText(int32_t day) {
    time_t midnight = static_cast<time_t>(day) * kSecondsPerDay;
    struct tm date;
    char buffer[32] = "";
    if (gmtime_r(&midnight, &date)) std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &date);
    return buffer;
}

std::optional<MachineAddress> ParseMachineAddress(std::string_view text) {
    MachineAddress address;
    if (text.empty()) return address;
    // Two hex digits per byte and a dash between bytes: 3 * bytes - 1 characters.
    if ((text.size() + 1) % 3 != 0 || (text.size() + 1) / 3 > 8) return std::nullopt;
    for (size_t i = 0; i < text.size(); i += 3) {
        int high = HexValue(text[i]), low = HexValue(text[i + 1]);
        if (high < 0 || low < 0 || (i + 2 < text.size() && text[i + 2] != '-')) return std::nullopt;
        address.bytes = (address.bytes << 8) | uint64_t(high * 16 + low);
        ++address.length;
    }
    return address;
}

std::optional<ReportEvent> ParseReportLine(std::string_view line) {
    constexpr size_t kFieldCount = 5;
    std::string_view fields[kFieldCount];
    size_t found = 0;
    for (size_t start = 0;;) {
        if (found == kFieldCount) return std::nullopt;
        size_t tab = line.find('\t', start);
        fields[found++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (found != kFieldCount || fields[1].empty()) return std::nullopt;
    std::optional<std::string_view> ma = FieldValue(fields[2], "ma");
    std::optional<std::string_view> inip = FieldValue(fields[3], "inip");
    std::optional<std::string_view> jaehuidText = FieldValue(fields[4], "jaehuid");
    if (!ma || !inip || !jaehuidText) return std::nullopt;
    // nginx logs "-" for an argument the request did not carry at all: no machine either.
    if (*ma == "-") ma = std::string_view();
    std::optional<LoggedTime> time = ParseLoggedTime(fields[0]);
    std::optional<MachineAddress> machine = ParseMachineAddress(*ma);
    // nginx writes every control byte as \xNN: a raw one means a line that is not
    // as nginx wrote it (a log whose line ends were converted, say).
    for (char c : *jaehuidText)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    std::optional<Jaehuid> jaehuid = SplitJaehuid(*jaehuidText);
    if (!time || !machine || !jaehuid) return std::nullopt;
    return ReportEvent{*time, *machine, std::move(*jaehuid)};
}

}  // namespace report_log
