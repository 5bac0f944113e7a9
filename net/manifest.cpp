#include "net/manifest.h"

#include "framework/text.h"

namespace {

std::string ValueOf(const std::string& line, const char* key) {
    return text::Trim(text::ReplaceAll(line, key, ""));
}

// A line of the "fall" kind: the key that begins it names the field.
void ReadFallbackLine(const std::string& line, OfferedRelease& fallback) {
    struct Key {
        const char* text;
        std::string OfferedRelease::*field;
    };
    static const Key kKeys[] = {
        {"fallback-version=", &OfferedRelease::version},
        {"fallback-date=", &OfferedRelease::date},
        {"fallback-download=", &OfferedRelease::downloadUrl},
        {"fallback-sha256=", &OfferedRelease::sha256},
        {"fallback-signature=", &OfferedRelease::signature},
    };
    for (const Key& key : kKeys) {
        if (line.compare(0, std::string(key.text).size(), key.text) != 0) continue;
        fallback.*key.field = ValueOf(line, key.text);
        return;
    }
}

}  // namespace

OfferedRelease ManifestRelease(const UpdateManifest& manifest) {
    return {manifest.version, manifest.date, manifest.downloadUrl, manifest.sha256, manifest.signature};
}

bool HasFallback(const UpdateManifest& manifest) {
    const OfferedRelease& f = manifest.fallback;
    return !(f.version.empty() && f.date.empty() && f.downloadUrl.empty() && f.sha256.empty() &&
             f.signature.empty());
}

bool ReadRolloutPercentage(const std::string& value, int& percentage) {
    if (value.empty() || value.size() > 3) return false;
    int read = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
        read = read * 10 + (c - '0');
    }
    if (read > kEveryMachine) return false;
    percentage = read;
    return true;
}

int RolloutPercentage(const UpdateManifest& manifest) {
    if (!manifest.hasRollout) return kEveryMachine;
    int percentage = 0;
    return ReadRolloutPercentage(manifest.rollout, percentage) ? percentage : 0;
}

std::vector<ManifestLine> ManifestLines(const std::string& body) {
    // Lines are walked on the text with its leading white space removed but its end
    // kept, so that a final line followed by its LF is read and one without is not.
    std::vector<ManifestLine> lines;
    size_t start = body.size() - text::TrimLeft(body).size();
    size_t p = start;
    while (p < body.size()) {
        size_t i = body.find('\n', p);
        if (i == std::string::npos || i == start) break;
        lines.push_back({p, i, text::Trim(body.substr(p, i - p))});
        p = i + 1;
    }
    return lines;
}

std::string LineKind(const std::string& line) {
    if (!line.empty() && line[0] == '[') return "";  // section header
    return text::Left(line, 4);
}

bool ParseManifest(const std::string& body, UpdateManifest& fields) {
    std::string whole = text::Trim(body);
    if (whole.empty() || text::MbsCompare(text::Left(whole, 7), "version") != 0) return false;

    UpdateManifest parsed = fields;
    for (const ManifestLine& read : ManifestLines(body)) {
        const std::string& line = read.text;
        std::string kind = LineKind(line);
        if (kind == "vers")
            parsed.version = ValueOf(line, "version=");
        else if (kind == "date")
            parsed.date = ValueOf(line, "date=");
        else if (kind == "comm")
            parsed.comment = ValueOf(line, "comment=");
        else if (kind == "down")
            parsed.downloadUrl = ValueOf(line, "download=");
        else if (kind == "sha2")
            parsed.sha256 = ValueOf(line, "sha256=");
        else if (kind == "sign")
            parsed.signature = ValueOf(line, "signature=");
        else if (kind == "file")
            parsed.fileListUrl = ValueOf(line, "filelist=");
        else if (kind == "roll") {
            parsed.hasRollout = true;
            parsed.rollout = ValueOf(line, "rollout=");
        } else if (kind == "fall")
            ReadFallbackLine(line, parsed.fallback);
    }
    fields = parsed;
    return true;
}
