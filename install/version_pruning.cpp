#include "install/version_pruning.h"

#include "framework/text.h"

namespace install {

std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion) {
    int count = 0;
    std::string oldest;
    for (const std::string& name : folderNames) {
        // Version folders are the ones named "2..."; IMAGE, MEMO and MYLINK never count.
        if (name.empty() || name[0] != '2') continue;
        ++count;
        std::string prefix = text::Left(name, 4);
        if (count == 1 || text::MbsCompare(prefix, oldest) < 0) oldest = prefix;
    }
    // The oldest is named by its four-character prefix, so a longer-named oldest
    // folder stays and only a folder named exactly that prefix goes.
    if (count > 2 && text::MbsCompare(oldest, installedVersion) != 0) return {oldest};
    return {};
}

}  // namespace install
