#include <winsock2.h>  // before windows.h
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "net/install_report.h"

std::string GetAdapterAddressText() {
    ULONG size = 0;
    GetIfTable(nullptr, &size, FALSE);
    if (size == 0) return "";
    std::vector<unsigned char> buffer(size, 0);
    auto* table = reinterpret_cast<MIB_IFTABLE*>(buffer.data());
    if (GetIfTable(table, &size, FALSE) != NO_ERROR) return "";
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IFROW& row = table->table[i];
        DWORD length = row.dwPhysAddrLen < MAXLEN_PHYSADDR ? row.dwPhysAddrLen : MAXLEN_PHYSADDR;
        std::string address = FormatPhysicalAddress(row.bPhysAddr, length);
        if (!address.empty()) return address;
    }
    return "";
}
