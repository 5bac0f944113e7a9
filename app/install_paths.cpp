#include "app/install_paths.h"

#include "framework/text.h"

namespace install_paths {

const char* const kSuiteLaunchToken = "kqvwtzrnbpxyjdgfh";

std::string CleanShellPath(const std::string& raw) {
    std::string path = text::TrimLeft(raw);
    path = text::TrimRightAny(path, "\\");
    return text::TrimRight(path);
}

std::vector<std::string> FolderTree(const std::string& installRoot, const std::string& version) {
    static const char* const kShared[] = {
        "%s\\Corvalen",
        "%s\\Corvalen\\Velmora2",
        "%s\\Corvalen\\Velmora2\\IMAGE",
        "%s\\Corvalen\\Velmora2\\MEMO",
        "%s\\Corvalen\\Velmora2\\MYLINK",
    };
    static const char* const kPerVersion[] = {
        "%s\\Corvalen\\Velmora2\\%s",
        "%s\\Corvalen\\Velmora2\\%s\\BIN",
        "%s\\Corvalen\\Velmora2\\%s\\FAVORITE",
        "%s\\Corvalen\\Velmora2\\%s\\RESULT",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN",
        "%s\\Corvalen\\Velmora2\\%s\\SUGGEST",
        "%s\\Corvalen\\Velmora2\\%s\\TEMP",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\CORE",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\LOOKUP",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\GRABIT",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\WIREUP",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\TALKPAD",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\DIALS",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\SKYCAST",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\SWEEPKIT",
        "%s\\Corvalen\\Velmora2\\%s\\SKIN\\PINBAR",
    };
    std::vector<std::string> tree;
    for (const char* pattern : kShared) tree.push_back(text::Trim(text::Format(pattern, installRoot.c_str())));
    for (const char* pattern : kPerVersion)
        tree.push_back(text::Trim(text::Format(pattern, installRoot.c_str(), version.c_str())));
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

std::string AutoRunCommand(const std::string& installRoot, const std::string& version) {
    return "\"" + LauncherPath(installRoot, version) + "\"";
}

std::string UninstallCommand(const std::string& installRoot) { return "\"" + UninstallerPath(installRoot) + "\""; }

std::string PackagePath(const std::string& installRoot, const std::string& version) {
    return text::Format("%s\\Corvalen\\Velmora2\\%s\\TEMP\\%s.cvz", installRoot.c_str(), version.c_str(),
                        version.c_str());
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
