#include "app/version_text.h"

#include "framework/reserved_names.h"
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
    // Windows drops a name's last dots, so "2.01." would be the folder of 2.01; and
    // names that begin with "~" are the installer's own (its staging).
    if (version.back() == '.' || version[0] == '~') return false;
    if (reserved_names::IsDeviceName(version, reserved_names::NameEncoding::SystemCodePage)) return false;
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

}  // namespace version_text
