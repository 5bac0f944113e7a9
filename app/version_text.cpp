#include "app/version_text.h"

#include "framework/text.h"

namespace version_text {

std::string Prefix(const std::string& version) { return text::Left(version, 4); }

bool IsOlder(const std::string& installed, const std::string& manifest) {
    return text::MbsCompare(Prefix(installed), Prefix(manifest)) < 0;
}

bool IsPlainFileName(const std::string& version) {
    std::string trimmed = text::Trim(version);
    if (trimmed.empty() || trimmed != version) return false;
    if (version.find("..") != std::string::npos) return false;
    if (version == ".") return false;
    if (IsReservedDeviceName(version)) return false;
    for (size_t i = 0; i < version.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(version[i]);
        if (text::IsLeadByte949(c) && i + 1 < version.size()) {
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

bool IsReservedDeviceName(const std::string& name) {
    // Windows looks at the part before the first dot, with trailing blanks dropped.
    std::string base = text::MbsUpper(text::TrimRightAny(name.substr(0, name.find('.')), " "));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

}  // namespace version_text
