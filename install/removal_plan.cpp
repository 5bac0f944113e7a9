#include "install/removal_plan.h"

#include "app/install_paths.h"
#include "app/suite_contract.h"
#include "framework/text.h"

namespace removal {

namespace {

const char* const kUninstallerName = "VL2Del.exe";

std::string WithoutTrailingBackslashes(const std::string& path) { return text::TrimRightAny(path, "\\"); }

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SamePath(const std::string& a, const std::string& b) { return text::MbsUpper(a) == text::MbsUpper(b); }

// "C:\Windows\..\Corvalen\Velmora2" ends as ours does and names another folder; a
// path the installer wrote never holds such a component, nor a forward slash,
// which Windows would take for a separator too.
bool HasOnlyPlainComponents(const std::string& path) {
    if (path.find('/') != std::string::npos) return false;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string component = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (component == "." || component == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// The folder form the installer records: Corvalen\Velmora2 below an absolute root,
// long enough that folder removal takes it (it refuses paths under 10 characters).
bool IsRemovableProductFolder(const std::string& path) {
    return path.size() >= 10 && install_paths::IsProductFolder(path) && HasOnlyPlainComponents(path);
}

void AddFile(std::vector<Step>& steps, const std::string& path) {
    for (const Step& step : steps)
        if (step.kind == StepKind::File && SamePath(step.path, path)) return;
    steps.push_back({StepKind::File, path});
}

void AddFolderWhenEmpty(std::vector<Step>& steps, const std::string& path) {
    for (const Step& step : steps)
        if (step.kind == StepKind::FolderWhenEmpty && SamePath(step.path, path)) return;
    steps.push_back({StepKind::FolderWhenEmpty, path});
}

std::string HiveName(Hive hive) { return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }

}  // namespace

bool IsOurUninstaller(const std::string& path) {
    if (!HasOnlyPlainComponents(path)) return false;
    std::string folder = Parent(path);
    std::string name = path.substr(folder.size() + (folder.empty() ? 0 : 1));
    if (folder.empty() || !SamePath(name, kUninstallerName)) return false;
    // The uninstaller lies beside the product folder: its folder is what a product
    // folder's parent would be, so the product folder test applies one level down.
    return IsRemovableProductFolder(folder + "\\Velmora2");
}

std::vector<Step> PlanRemoval(const Findings& findings) {
    std::vector<Step> steps;
    std::vector<std::string> companyFolders;
    std::string product = WithoutTrailingBackslashes(text::Trim(findings.installPath));
    if (IsRemovableProductFolder(product)) {
        steps.push_back({StepKind::FolderTree, product});
        companyFolders.push_back(Parent(product));
        AddFile(steps, Parent(product) + "\\" + kUninstallerName);
    }
    // The uninstaller that was started may be an earlier install's (under Program
    // Files, say) while INSTALLPATH names the current one: both go.
    if (IsOurUninstaller(findings.uninstallerPath)) {
        AddFile(steps, findings.uninstallerPath);
        companyFolders.push_back(Parent(findings.uninstallerPath));
    }
    // Another Corvalen product may share the company folder: it goes only when empty.
    for (const std::string& folder : companyFolders) AddFolderWhenEmpty(steps, folder);

    if (!findings.startMenuPrograms.empty()) {
        std::string folder = findings.startMenuPrograms + "\\" + suite::kStartMenuFolder;
        AddFile(steps, folder + "\\" + suite::kShortcutName);
        AddFolderWhenEmpty(steps, folder);
    }
    if (!findings.desktop.empty()) AddFile(steps, findings.desktop + "\\" + suite::kShortcutName);
    if (!findings.applicationData.empty()) {
        std::string quickLaunch = findings.applicationData + "\\" + suite::kQuickLaunchFolder;
        AddFile(steps, quickLaunch + "\\" + suite::kOldQuickLaunchShortcutName);
        AddFile(steps, quickLaunch + "\\" + suite::kShortcutName);
    }

    steps.push_back({StepKind::RegistryTree, suite::kProductKey});
    // The company key's own values that the installer writes: its (empty) default
    // and the date the terms were declined. Another product's values keep the key.
    steps.push_back({StepKind::RegistryValue, suite::kCompanyKey, Hive::CurrentUser, suite::kDeclineValue});
    steps.push_back({StepKind::RegistryValue, suite::kCompanyKey, Hive::CurrentUser, ""});
    steps.push_back({StepKind::RegistryKeyWhenEmpty, suite::kCompanyKey});
    steps.push_back({StepKind::RegistryValue, suite::kRunKey, Hive::CurrentUser, suite::kAutoRunValue});
    steps.push_back({StepKind::RegistryTree, suite::kUninstallKey});
    // An install made under Program Files registered itself here; an ordinary user
    // cannot remove it, and is then told so.
    steps.push_back({StepKind::RegistryTree, suite::kUninstallKey, Hive::LocalMachine});
    return steps;
}

std::string OriginalFromCommandLine(const std::string& commandLine) {
    size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        at = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        at = commandLine.find_first_of(" \t");
        if (at == std::string::npos) at = commandLine.size();
    }
    std::string rest = text::Trim(commandLine.substr(at));
    if (!rest.empty() && rest[0] == '"') {
        size_t close = rest.find('"', 1);
        return rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return rest;
}

std::string Describe(const Step& step) {
    switch (step.kind) {
        case StepKind::FolderTree:
        case StepKind::File:
        case StepKind::FolderWhenEmpty:
            return step.path;
        case StepKind::RegistryTree:
        case StepKind::RegistryKeyWhenEmpty:
            return HiveName(step.hive) + "\\" + step.path;
        case StepKind::RegistryValue:
            return HiveName(step.hive) + "\\" + step.path + " (" + step.value + ")";
    }
    return step.path;
}

std::string LeftoverMessage(const std::vector<std::string>& left) {
    if (left.empty()) return "삭제 완료!";
    std::string message = "다음 항목을 삭제하지 못했습니다:";
    for (size_t i = 0; i < left.size() && i < kLeftoversShown; ++i) message += "\n" + left[i];
    if (left.size() > kLeftoversShown)
        message += text::Format("\n... 외 %u개", static_cast<unsigned>(left.size() - kLeftoversShown));
    return message;
}

}  // namespace removal
