#include "net/manifest.h"

#include "framework/text.h"

namespace {

std::string ValueOf(const std::string& line, const char* key) {
    return text::Trim(text::ReplaceAll(line, key, ""));
}

}  // namespace

bool ParseManifest(const std::string& body, UpdateManifest& fields) {
    std::string whole = text::Trim(body);
    if (whole.empty() || text::MbsCompare(text::Left(whole, 7), "version") != 0) return false;

    // Lines are walked on the text with its leading white space removed but its end
    // kept, so that a final line followed by its LF is read and one without is not.
    std::string content = text::TrimLeft(body);
    UpdateManifest parsed = fields;
    size_t p = 0;
    while (p < content.size()) {
        size_t i = content.find('\n', p);
        if (i == std::string::npos || i == 0) break;
        std::string line = text::Trim(content.substr(p, i - p));
        p = i + 1;
        if (!line.empty() && line[0] == '[') continue;  // section header
        std::string kind = text::Left(line, 4);
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
    }
    fields = parsed;
    return true;
}
