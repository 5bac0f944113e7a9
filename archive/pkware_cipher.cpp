#include "archive/pkware_cipher.h"

#include <zlib.h>

namespace {

uint32_t CrcByte(uint32_t crc, unsigned char byte) {
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

PkwareCipher::PkwareCipher(const std::string& password) : keys_{305419896u, 591751049u, 878082192u} {
    for (char c : password) Update(static_cast<unsigned char>(c));
}

void PkwareCipher::Update(unsigned char plain) {
    keys_[0] = CrcByte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcByte(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

unsigned char PkwareCipher::StreamByte() const {
    uint32_t temp = (keys_[2] | 2) & 0xFFFF;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void PkwareCipher::Decrypt(unsigned char* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        data[i] ^= StreamByte();
        Update(data[i]);
    }
}

void PkwareCipher::Encrypt(unsigned char* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        unsigned char plain = data[i];
        data[i] ^= StreamByte();
        Update(plain);
    }
}
