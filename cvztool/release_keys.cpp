#include "cvztool/release_keys.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

#include "app/version_text.h"
#include "framework/file.h"
#include "framework/text.h"
#include "net/manifest.h"
#include "release/release_encoding.h"
#include "release/release_key.h"
#include "release/release_signature.h"
#include "cvztool/release_signing.h"

namespace release_keys {

namespace {

enum ExitCode {
    done = 0,
    releaseRefused = 1,
    fileError = 3,
    keyRefused = 4,
    libraryError = 5,
    usage = 64,
};

// A manifest is a few lines; the installer reads far less than this.
constexpr uint64_t kLargestManifest = 1024 * 1024;

int Fail(const char* command, ExitCode code, const std::string& message) {
    std::fprintf(stderr, "cvztool %s: %s\n", command, message.c_str());
    return code;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: cvztool keygen KEYFILE | pubkey KEYFILE | sign KEYFILE PACKAGE VERSION |"
                 " verify PUBLICKEY PACKAGE MANIFEST\n");
    return usage;
}

// Creates the file only if nothing of that name exists, so that a key is never
// lost to a mistyped command; the key is readable by its owner only.
bool WriteNewFile(const std::string& path, const std::string& contents, std::string& error) {
#if defined(_WIN32)
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        error = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS
                    ? path + " exists; a key file is never overwritten"
                    : "cannot create " + path + " (system error " + std::to_string(code) + ")";
        return false;
    }
    DWORD written = 0;
    BOOL wrote = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    BOOL closed = CloseHandle(file);
    if (!wrote || !closed || written != contents.size()) {
        DeleteFileA(path.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
#else
    std::string native = file_system::NativePath(path);
    int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        error = errno == EEXIST ? path + " exists; a key file is never overwritten"
                                : "cannot create " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    ssize_t written = write(fd, contents.data(), contents.size());
    bool closed = close(fd) == 0;
    if (written != static_cast<ssize_t>(contents.size()) || !closed) {
        unlink(native.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
#endif
}

int PrintPublicKey(const char* command, const release_signing::PrivateKey& key) {
    std::string publicKey = release_signing::PublicKeyOf(key);
    release_key::KeyCheck check = release_key::CheckPublicKey(publicKey);
    std::printf("%s\n", release_encoding::EncodeBase64(publicKey).c_str());
    if (check != release_key::KeyCheck::usable)
        return Fail(command, keyRefused,
                    std::string("the build refuses this key: its public half is ") + release_key::Describe(check));
    return done;
}

int Keygen(const std::string& keyFile) {
    if (file_system::Exists(keyFile)) return Fail("keygen", fileError, keyFile + " exists; a key file is never overwritten");
    release_signing::PrivateKey key = release_signing::GeneratePrivateKey();
    std::string error;
    if (!WriteNewFile(keyFile, release_signing::PrivateKeyPem(key), error)) return Fail("keygen", fileError, error);
    return PrintPublicKey("keygen", key);
}

int Pubkey(const std::string& keyFile) {
    release_signing::PrivateKey key;
    std::string error;
    if (!release_signing::ReadPrivateKeyFile(keyFile, key, error)) return Fail("pubkey", keyRefused, error);
    return PrintPublicKey("pubkey", key);
}

int Sign(const std::string& keyFile, const std::string& package, const std::string& version) {
    release_signing::PrivateKey key;
    std::string error;
    if (!release_signing::ReadPrivateKeyFile(keyFile, key, error)) return Fail("sign", keyRefused, error);
    try {
        std::string lines = release_signing::SignReleaseLines(key, version, package);
        std::fputs(lines.c_str(), stdout);
        return done;
    } catch (const release_signing::SigningError& e) {
        ExitCode code = e.cause == release_signing::SigningError::refusedVersion      ? keyRefused
                        : e.cause == release_signing::SigningError::unreadablePackage ? fileError
                                                                                       : libraryError;
        return Fail("sign", code, e.message);
    }
}

int Verify(const std::string& publicKeyText, const std::string& package, const std::string& manifestFile) {
    std::string publicKey;
    if (!release_encoding::DecodeBase64(publicKeyText, publicKey) || publicKey.size() != release_key::kPublicKeySize)
        return Fail("verify", keyRefused, "the public key is not the base64 text of 32 bytes");
    release_key::KeyCheck keyCheck = release_key::CheckPublicKey(publicKey);
    if (keyCheck == release_key::KeyCheck::libraryUnavailable)
        return Fail("verify", libraryError, release_key::Describe(keyCheck));
    if (keyCheck != release_key::KeyCheck::usable)
        return Fail("verify", keyRefused, std::string("the public key is ") + release_key::Describe(keyCheck));

    std::string body, error;
    if (!release_signing::ReadSmallFile(manifestFile, kLargestManifest, body, error)) return Fail("verify", fileError, error);
    // The installer's HTTP client stops at the first zero byte.
    body = body.substr(0, body.find('\0'));
    UpdateManifest manifest;
    if (!ParseManifest(body, manifest))
        return Fail("verify", releaseRefused, manifestFile + " is not a manifest: it must begin with \"version\"");
    if (!version_text::IsPlainFileName(manifest.version))
        return Fail("verify", releaseRefused, "the installer refuses the version \"" + manifest.version + "\"");
    if (text::Left(manifest.downloadUrl, 4) != "http")
        return Fail("verify", releaseRefused, "the download= line is missing or does not begin with http");

    release_signature::ReleaseCheck check =
        release_signature::VerifyRelease(publicKey, manifest.version, manifest.sha256, manifest.signature);
    if (check == release_signature::ReleaseCheck::cryptoUnavailable)
        return Fail("verify", libraryError, release_signature::Describe(check));
    if (check != release_signature::ReleaseCheck::ok)
        return Fail("verify", releaseRefused, release_signature::Describe(check));

    std::string digest, signedDigest;
    if (!release_signature::FileSha256(package, digest)) return Fail("verify", fileError, "cannot read " + package);
    release_encoding::DecodeHex(manifest.sha256, signedDigest);
    std::string actual = release_encoding::EncodeHex(digest);
    if (digest != signedDigest)
        return Fail("verify", releaseRefused,
                    "the package's SHA-256 is " + actual + ", not the signed " + release_encoding::EncodeHex(signedDigest));
    std::printf("verified: version %s, sha256 %s\n", manifest.version.c_str(), actual.c_str());
    return done;
}

}  // namespace

int RunReleaseCommand(int argc, char** argv) {
    if (argc < 2) return -1;
    std::string command = argv[1];
    if (command != "keygen" && command != "pubkey" && command != "sign" && command != "verify") return -1;
    try {
        if (command == "keygen" && argc == 3) return Keygen(argv[2]);
        if (command == "pubkey" && argc == 3) return Pubkey(argv[2]);
        if (command == "sign" && argc == 5) return Sign(argv[2], argv[3], argv[4]);
        if (command == "verify" && argc == 5) return Verify(argv[2], argv[3], argv[4]);
    } catch (const release_signing::SigningError& e) {
        return Fail(argv[1], libraryError, e.message);
    }
    return Usage();
}

}  // namespace release_keys
