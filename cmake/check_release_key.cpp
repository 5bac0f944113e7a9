// Built and run on the build machine when the project is configured: checks the
// release public key that is about to be built into the programs, with the same
// decoding and key check the programs use. Prints why a key is refused and exits 1.
#include <cstdio>
#include <string>

#include "release/release_encoding.h"
#include "release/release_key.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_release_key BASE64-PUBLIC-KEY\n");
        return 2;
    }
    std::string key;
    std::string text = argv[1];
    if (text.size() % 4 != 0) {
        std::printf("its length is not a multiple of 4, as padded base64 text is (is the padding missing?)\n");
        return 1;
    }
    if (!release_encoding::DecodeBase64(text, key)) {
        std::printf("it is not the canonical base64 text of any bytes (standard alphabet, \"=\" padding, no blanks)\n");
        return 1;
    }
    if (key.size() != release_key::kPublicKeySize) {
        std::printf("it decodes to %u bytes, not the 32 bytes of a raw ed25519 public key\n",
                    static_cast<unsigned>(key.size()));
        return 1;
    }
    release_key::KeyCheck check = release_key::CheckPublicKey(key);
    if (check != release_key::KeyCheck::usable) {
        std::printf("it is %s\n", release_key::Describe(check));
        return 1;
    }
    return 0;
}
