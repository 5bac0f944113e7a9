// Adds a certificate authority to the trusted roots of the current user, as an
// administrator would add a company's own: the TLS tests trust their private
// authority in their Wine prefix alone, never on the host. Usage: trust_root
// CERTIFICATE.der. Exit 0 when it was added (or was there), 1 when the system
// refused it, 3 when the file could not be read.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    FILE* file = std::fopen(argv[1], "rb");
    if (!file) return 3;
    std::vector<BYTE> der;
    BYTE buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) der.insert(der.end(), buffer, buffer + got);
    std::fclose(file);
    if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(), static_cast<DWORD>(der.size()))) {
        std::fprintf(stderr, "CertAddEncodedCertificateToSystemStoreA failed: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}
