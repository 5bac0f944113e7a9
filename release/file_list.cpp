#include "release/file_list.h"

#include <algorithm>

#include "archive/archive_paths.h"
#include "release/release_encoding.h"
#include "release/release_signature.h"

namespace file_list {

namespace {

const char kFirstLine[] = "velmora2-filelist 1";
const char kSignatureKey[] = "signature=";
constexpr size_t kDigestSize = 32;
// Sizes are those of a package entry: the reader takes 32-bit sizes.
constexpr uint64_t kLargestSize = 0xFFFFFFFFull;

// Strict decimal: digits only, no sign, no leading zero but for 0 itself.
bool ParseSize(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= kLargestSize;
}

// True when a component of `name` ends in a dot or a blank. Windows drops them, so
// "app.exe." would be written as "app.exe", and two listed names one file; `cvztool
// pack` refuses such names. (Neither byte is a trail byte in code page 949.)
bool HasComponentWindowsShortens(const std::string& name) {
    for (size_t start = 0;;) {
        size_t end = std::min(name.find('\\', start), name.size());
        if (end > start && (name[end - 1] == '.' || name[end - 1] == ' ')) return true;
        if (end == name.size()) return false;
        start = end + 1;
    }
}

// A name the installer's reader could have given: under the version folder, no
// drive, no climbing, no device, nothing the file system refuses or shortens.
bool IsPlainName(const std::string& name, bool folder) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
    if (name.find('/') != std::string::npos) return false;
    bool endsWithSeparator = name.back() == '\\';
    if (endsWithSeparator != folder) return false;
    std::string bare = archive_paths::StripTrailingSeparators(name);
    if (bare.empty() || archive_paths::IsOnlyCurrentFolder(bare) || HasComponentWindowsShortens(bare)) return false;
    return archive_paths::CheckName(bare, archive_paths::NameEncoding::SystemCodePage) ==
           archive_paths::NameRefusal::None;
}

bool TakeValue(const std::string& line, const char* key, std::string& value) {
    std::string prefix = key;
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    value = line.substr(prefix.size());
    return true;
}

// Reads the lines of the signed part; false for anything out of form.
bool ParseBody(const std::string& body, FileList& list) {
    size_t position = 0;
    auto nextLine = [&](std::string& line) {
        size_t end = body.find('\n', position);
        if (end == std::string::npos) return false;
        line = body.substr(position, end - position);
        position = end + 1;
        return true;
    };
    std::string line, digestText, sizeText;
    if (!nextLine(line) || line != kFirstLine) return false;
    if (!nextLine(line) || !TakeValue(line, "version=", list.version) || list.version.empty()) return false;
    if (!nextLine(line) || !TakeValue(line, "package-sha256=", digestText)) return false;
    if (!release_encoding::DecodeHex(digestText, list.packageSha256) || list.packageSha256.size() != kDigestSize)
        return false;
    if (!nextLine(line) || !TakeValue(line, "package-size=", sizeText) || !ParseSize(sizeText, list.packageSize))
        return false;
    while (position < body.size()) {
        if (!nextLine(line)) return false;
        Entry entry;
        if (line.compare(0, 2, "D ") == 0) {
            entry.folder = true;
            entry.name = line.substr(2);
        } else if (line.compare(0, 2, "F ") == 0 && line.size() > 2 + 64 + 1 && line[2 + 64] == ' ') {
            if (!release_encoding::DecodeHex(line.substr(2, 64), entry.sha256)) return false;
            size_t sizeEnd = line.find(' ', 2 + 64 + 1);
            if (sizeEnd == std::string::npos || !ParseSize(line.substr(67, sizeEnd - 67), entry.size)) return false;
            entry.name = line.substr(sizeEnd + 1);
        } else {
            return false;
        }
        if (!IsPlainName(entry.name, entry.folder)) return false;
        list.entries.push_back(entry);
    }
    return true;
}

}  // namespace

const char* Describe(ListCheck check) {
    switch (check) {
        case ListCheck::ok: return "file list verified";
        case ListCheck::malformed: return "the file list is not in the form a list is written in";
        case ListCheck::badSignature: return "the file list was not signed with this key";
        case ListCheck::otherRelease: return "the file list is signed for another release";
        case ListCheck::unusableKey: return "the public key is not a usable ed25519 key";
    }
    return "unknown";
}

std::string SignedText(const FileList& list) {
    std::string text = std::string(kFirstLine) + "\nversion=" + list.version +
                       "\npackage-sha256=" + release_encoding::EncodeHex(list.packageSha256) +
                       "\npackage-size=" + std::to_string(list.packageSize) + "\n";
    for (const Entry& entry : list.entries) {
        if (entry.folder)
            text += "D " + entry.name + "\n";
        else
            text += "F " + release_encoding::EncodeHex(entry.sha256) + " " + std::to_string(entry.size) + " " +
                    entry.name + "\n";
    }
    return text;
}

std::string SignedMessage(const std::string& signedText) {
    return "velmora2-filelist\n" + release_encoding::EncodeHex(release_signature::Sha256(signedText)) + "\n";
}

std::string ListText(const FileList& list, const std::string& signature) {
    return SignedText(list) + kSignatureKey + release_encoding::EncodeBase64(signature) + "\n";
}

ListCheck ReadList(const std::string& text, const std::string& publicKey, const std::string& version,
                   const std::string& packageSha256Text, FileList& list) {
    // The signature line is the last one; everything before it is signed.
    if (text.empty() || text.back() != '\n') return ListCheck::malformed;
    size_t lastLine = text.rfind('\n', text.size() - 2);
    if (lastLine == std::string::npos) return ListCheck::malformed;
    std::string body = text.substr(0, lastLine + 1);
    std::string signatureText;
    if (!TakeValue(text.substr(lastLine + 1, text.size() - lastLine - 2), kSignatureKey, signatureText))
        return ListCheck::malformed;
    switch (release_signature::VerifyMessage(publicKey, SignedMessage(body), signatureText)) {
        case release_signature::ReleaseCheck::ok: break;
        case release_signature::ReleaseCheck::badSignature: return ListCheck::badSignature;
        case release_signature::ReleaseCheck::unusableKey:
        case release_signature::ReleaseCheck::cryptoUnavailable: return ListCheck::unusableKey;
        default: return ListCheck::malformed;
    }
    FileList read;
    if (!ParseBody(body, read)) return ListCheck::malformed;
    std::string packageSha256;
    if (read.version != version || !release_encoding::DecodeHex(packageSha256Text, packageSha256) ||
        read.packageSha256 != packageSha256)
        return ListCheck::otherRelease;
    list = read;
    return ListCheck::ok;
}

std::string ListFileName(const std::string& version) { return version + ".list"; }

}  // namespace file_list
