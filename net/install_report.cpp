#include "net/install_report.h"

#include "framework/text.h"
#include "net/server_address.h"

std::string FormatPhysicalAddress(const unsigned char* bytes, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) out += text::Format("%02X-", bytes[i]);
    if (!out.empty()) out.pop_back();
    return text::Trim(out);
}

std::string FormatInstallReport(const std::string& server, const std::string& marker, const std::string& ma,
                                const std::string& inip, const std::string& version, const std::string& partner) {
    return server_address::UrlOnServer(server, text::Format("/installax.asp?ma=%s&inip=%s&jaehuid=%s%s%s", ma.c_str(),
                                                            inip.c_str(), marker.c_str(), version.c_str(),
                                                            partner.c_str()));
}

std::string FormatFailedStartReport(const std::string& server, const std::string& ma, const std::string& inip,
                                    const std::string& version, const std::string& partner) {
    return FormatInstallReport(server, "VL2F", ma, inip, version, partner);
}

std::string FormatRemovalReport(const std::string& server, const std::string& ma, const std::string& inip,
                                const std::string& version) {
    return server_address::UrlOnServer(
        server, text::Format("/installax.asp?ma=%s&inip=%s&jaehuid=VL2BDEL%s", ma.c_str(), inip.c_str(), version.c_str()));
}
