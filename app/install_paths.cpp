#include "app/install_paths.h"

#include "framework/text.h"

namespace install_paths {

const char* const kSuiteLaunchToken = "kqvwtzrnbpxyjdgfh";

std::string CleanShellPath(const std::string& raw) {
    std::string path = text::TrimLeft(raw);
    path = text::TrimRightAny(path, "\\");
    return text::TrimRight(path);
}

namespace {

// Rows of a version's tree below its folder, in creation order.
const char* const kVersionTree[] = {
    "BIN",         "FAVORITE",     "RESULT",        "SKIN",        "SUGGEST",      "TEMP",
    "SKIN\\CORE",  "SKIN\\LOOKUP", "SKIN\\GRABIT",  "SKIN\\WIREUP", "SKIN\\TALKPAD", "SKIN\\DIALS",
    "SKIN\\SKYCAST", "SKIN\\SWEEPKIT", "SKIN\\PINBAR",
};

}  // namespace

std::vector<std::string> VersionTreeFolders() {
    return std::vector<std::string>(std::begin(kVersionTree), std::end(kVersionTree));
}

std::vector<std::string> SuiteDataFolders() { return {"FAVORITE", "RESULT", "SUGGEST"}; }

std::vector<std::string> SharedFolders(const std::string& installRoot) {
    static const char* const kShared[] = {
        "%s\\Corvalen",
        "%s\\Corvalen\\Velmora2",
        "%s\\Corvalen\\Velmora2\\IMAGE",
        "%s\\Corvalen\\Velmora2\\MEMO",
        "%s\\Corvalen\\Velmora2\\MYLINK",
    };
    std::vector<std::string> tree;
    for (const char* pattern : kShared) tree.push_back(text::Trim(text::Format(pattern, installRoot.c_str())));
    return tree;
}

std::vector<std::string> FolderTree(const std::string& installRoot, const std::string& version) {
    std::vector<std::string> tree = SharedFolders(installRoot);
    std::string versionFolder = text::Trim(VersionFolder(installRoot, version));
    tree.push_back(versionFolder);
    for (const char* folder : kVersionTree) tree.push_back(versionFolder + "\\" + folder);
    return tree;
}

std::string ProductFolder(const std::string& installRoot) {
    return text::Format("%s\\Corvalen\\Velmora2", installRoot.c_str());
}

std::string VersionFolder(const std::string& installRoot, const std::string& version) {
    return text::Format("%s\\Corvalen\\Velmora2\\%s", installRoot.c_str(), version.c_str());
}

std::string LauncherPath(const std::string& installRoot, const std::string& version) {
    return text::Format("%s\\Corvalen\\Velmora2\\%s\\BIN\\InitVL2.exe", installRoot.c_str(), version.c_str());
}

std::string SuiteProgram(const std::string& installRoot, const std::string& version) {
    return text::Format("%s\\Corvalen\\Velmora2\\%s\\BIN\\Cubelet.exe", installRoot.c_str(), version.c_str());
}

std::string SuiteCommand(const std::string& installRoot, const std::string& version) {
    return "\"" + SuiteProgram(installRoot, version) + "\" " + kSuiteLaunchToken;
}

std::string StableLauncherPath(const std::string& installRoot) {
    return text::Format("%s\\Corvalen\\Velmora2\\Velmora2.exe", installRoot.c_str());
}

std::string AutoRunCommand(const std::string& programPath) { return "\"" + programPath + "\""; }

std::string UninstallCommand(const std::string& installRoot) { return "\"" + UninstallerPath(installRoot) + "\""; }

std::string StagingFolder(const std::string& installRoot) { return ProductFolder(installRoot) + "\\~staging"; }

std::string StagedPackagePath(const std::string& installRoot, const std::string& sha256Text) {
    // One spelling of a digest, one file: the manifest may write its digits in either case.
    std::string digits = sha256Text;
    for (char& c : digits)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    return StagingFolder(installRoot) + "\\" + digits + ".cvz";
}

std::string UninstallerPath(const std::string& installRoot) {
    return text::Format("%s\\Corvalen\\VL2Del.exe", installRoot.c_str());
}

bool IsProductFolder(const std::string& path) {
    std::string trimmed = text::TrimRightAny(path, "\\");
    bool absolute = (trimmed.size() >= 3 && trimmed[1] == ':' && trimmed[2] == '\\') ||
                    (trimmed.size() >= 2 && trimmed[0] == '\\' && trimmed[1] == '\\');
    const std::string tail = "\\CORVALEN\\VELMORA2";
    if (!absolute || trimmed.size() <= tail.size()) return false;
    return text::MbsUpper(trimmed.substr(trimmed.size() - tail.size())) == tail;
}

}  // namespace install_paths
