#include "install/version_pruning.h"

#include <algorithm>
#include <set>

#include "app/install_paths.h"
#include "app/version_text.h"
#include "framework/file.h"
#include "framework/text.h"

namespace install {
namespace {

// Version folders are the ones named "2..."; IMAGE, MEMO and MYLINK never count.
bool IsVersionFolder(const std::string& name) { return !name.empty() && name[0] == '2'; }

bool IsNamed(const std::string& name, const std::set<std::string>& named) {
    return std::any_of(named.begin(), named.end(),
                       [&](const std::string& n) { return text::MbsUpper(n) == text::MbsUpper(name); });
}

struct MbsLess {
    bool operator()(const std::string& a, const std::string& b) const { return text::MbsCompare(a, b) < 0; }
};

}  // namespace

std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion,
                                               const std::set<std::string>& named) {
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
            text::MbsCompare(name, installedVersion) != 0 && !IsNamed(name, named))
            doomed.push_back(name);
    return doomed;
}

std::string VersionNamedBy(const std::string& target, const std::string& productFolder) {
    std::string path = text::Trim(target);
    if (path.size() >= 2 && path.front() == '"') path = path.substr(1, path.find('"', 1) - 1);
    std::string folder = text::MbsUpper(productFolder) + "\\";
    if (path.size() <= folder.size() || text::MbsUpper(path.substr(0, folder.size())) != folder) return "";
    std::string rest = path.substr(folder.size());
    size_t end = rest.find('\\');
    // A file of the product folder itself (the stable launcher) lies in no version.
    return end == std::string::npos ? std::string() : rest.substr(0, end);
}

bool IsWholeVersion(const std::string& installRoot, const std::string& version) {
    return !version.empty() && file_system::Exists(install_paths::SuiteProgram(installRoot, version)) &&
           file_system::Exists(install_paths::LauncherPath(installRoot, version));
}

std::vector<std::string> WholeVersionsNewestFirst(const std::vector<std::string>& folderNames,
                                                  const std::function<bool(const std::string&)>& isWhole) {
    std::vector<std::string> whole;
    for (const std::string& name : folderNames)
        if (IsVersionFolder(name) && isWhole(name)) whole.push_back(name);
    std::sort(whole.begin(), whole.end(),
              [](const std::string& a, const std::string& b) { return text::MbsCompare(a, b) > 0; });
    return whole;
}

std::string VersionToLaunch(const std::string& recorded, const std::vector<std::string>& folderNames,
                            const std::function<bool(const std::string&)>& hasLauncher) {
    // A recorded text that could leave the product folder names nothing.
    if (version_text::IsPlainFileName(recorded) && hasLauncher(recorded)) return recorded;
    std::vector<std::string> present = WholeVersionsNewestFirst(folderNames, hasLauncher);
    return present.empty() ? std::string() : present.front();
}

}  // namespace install
