#include "cvztool/release_version.h"

#include "app/version_text.h"

namespace release_version {

bool IsAddressSafe(const std::string& version) {
    // Byte tests, whatever the C library's locale.
    for (char c : version)
        if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && c != '.' && c != '-' &&
            c != '_')
            return false;
    return true;
}

bool IsReleasable(const std::string& version) {
    return version_text::IsPlainFileName(version) && IsAddressSafe(version);
}

}  // namespace release_version
