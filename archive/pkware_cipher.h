// The traditional PKWARE stream cipher of the PKZIP format.
#pragma once

#include <cstdint>
#include <string>

class PkwareCipher {
 public:
    explicit PkwareCipher(const std::string& password);
    void Decrypt(unsigned char* data, size_t length);
    void Encrypt(unsigned char* data, size_t length);

 private:
    void Update(unsigned char plain);
    unsigned char StreamByte() const;
    uint32_t keys_[3];
};
