// The signed file list of a release: every file and folder the release installs,
// each file with its size and SHA-256, bound to the release's version and to its
// package's digest and size. An update reads it to copy what the installed
// version already holds and to fetch only the rest out of the package.
//
// The text, in code page 949, each line ending in LF:
//
//   velmora2-filelist 1
//   version=2.02
//   package-sha256=<64 lower-case hexadecimal digits>
//   package-size=<decimal bytes>
//   F <64 digits> <decimal size> <name>      a file, one line each
//   D <name>                                 a folder
//   signature=<base64 of the ed25519 signature of SignedMessage(every byte above this line)>
//
// Names are the installer's (its reader's) names under the version folder, with
// backslashes; folders end with one. The signature is made with the release key
// over a short message that holds the SHA-256 of the lines (a list of thousands of
// files runs to hundreds of kilobytes, which the crypto library's expressions do
// not take whole); its first line keeps it from ever reading as a release's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace file_list {

// A list larger than this is not one: a release of ten thousand files lists in
// about a megabyte. The installer fetches no more, and cvztool reads no more back.
constexpr uint64_t kLargestListBytes = 8u << 20;

struct Entry {
    std::string name;
    bool folder = false;
    uint64_t size = 0;
    std::string sha256;  // 32 raw bytes; empty for a folder
};

struct FileList {
    std::string version;
    std::string packageSha256;  // 32 raw bytes
    uint64_t packageSize = 0;
    std::vector<Entry> entries;
};

// Why a list was not taken, one value per way it can fail.
enum class ListCheck {
    ok,
    malformed,     // not a list in the form above, or a name that is not a plain name under the folder
    badSignature,  // not signed with the key
    otherRelease,  // signed, but for another version, package digest or size
    unusableKey,   // the public key itself was refused
};

const char* Describe(ListCheck check);

// The list without its signature line.
std::string SignedText(const FileList& list);

// What is signed for the lines `signedText`: "velmora2-filelist\n" and the 64
// lower-case hexadecimal digits of their SHA-256, then a line break.
std::string SignedMessage(const std::string& signedText);

// The whole list text, the signature line (the base64 of 64 bytes) appended.
std::string ListText(const FileList& list, const std::string& signature);

// Takes `text` when it is a list signed with `publicKey` (32 raw bytes) for
// `version` and the package with `packageSha256Text` (64 hexadecimal digits);
// `list` is filled only then.
ListCheck ReadList(const std::string& text, const std::string& publicKey, const std::string& version,
                   const std::string& packageSha256Text, FileList& list);

// The name of the list beside the package in a site: "<version>.list".
std::string ListFileName(const std::string& version);

}  // namespace file_list
