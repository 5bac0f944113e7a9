#include "install/version_pruning.h"

#include <set>

#include "framework/text.h"

namespace install {
namespace {

// Version folders are the ones named "2..."; IMAGE, MEMO and MYLINK never count.
bool IsVersionFolder(const std::string& name) { return !name.empty() && name[0] == '2'; }

struct MbsLess {
    bool operator()(const std::string& a, const std::string& b) const { return text::MbsCompare(a, b) < 0; }
};

}  // namespace

std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion) {
    // Versions are told apart by their first four characters: "2.01" (the folder
    // tree made at start-up) and "2.01a" (the package's folder) are one version.
    std::set<std::string, MbsLess> prefixes;
    for (const std::string& name : folderNames)
        if (IsVersionFolder(name)) prefixes.insert(text::Left(name, 4));
    if (prefixes.size() <= 2) return {};
    const std::string& oldest = *prefixes.begin();
    std::vector<std::string> doomed;
    for (const std::string& name : folderNames)
        if (IsVersionFolder(name) && text::MbsCompare(text::Left(name, 4), oldest) == 0 &&
            text::MbsCompare(name, installedVersion) != 0)
            doomed.push_back(name);
    return doomed;
}

}  // namespace install
