// Who installed which version through which partner: the machine's first physical
// network address, its local IPv4 address, and the report request that carries them.
#pragma once

#include <cstddef>
#include <string>

// Two upper-case hex digits per byte, joined by "-" (00-0C-29-3A-5B-7C).
std::string FormatPhysicalAddress(const unsigned char* bytes, size_t length);

// "http://SERVER/installax.asp?ma=..&inip=..&jaehuid=MARKER VERSION PARTNER" (https
// for a server set as "https://..."), values inserted as they are. The marker is
// "VL2B" (fresh install) or "VL2U" (update).
std::string FormatInstallReport(const std::string& server, const std::string& marker, const std::string& ma,
                                 const std::string& inip, const std::string& version, const std::string& partner);

// The report of a release whose suite did not start after the switch to it (the
// machine went back to its previous version): jaehuid is "VL2F", the version that
// did not start and the partner, as the install report's.
std::string FormatFailedStartReport(const std::string& server, const std::string& ma, const std::string& inip,
                                    const std::string& version, const std::string& partner);

// The removal report of the uninstaller: jaehuid is "VL2BDEL" and the version.
std::string FormatRemovalReport(const std::string& server, const std::string& ma, const std::string& inip,
                                const std::string& version);

// The address text of the first interface that has a physical address, or "".
std::string GetAdapterAddressText();
