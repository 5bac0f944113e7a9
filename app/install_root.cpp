#include "app/install_root.h"

#include "app/install_paths.h"
#include "framework/text.h"

namespace install_root {
namespace {

const char* const kProgramsFolder = "\\Programs";

// The narrow form of `wide`, when the code page holds every character of it.
bool Narrow(const std::u16string& wide, const ToCodePage& toCodePage, std::string& narrow) {
    narrow.clear();
    if (wide.empty() || !toCodePage(wide, narrow)) return false;
    narrow = install_paths::CleanShellPath(narrow);
    return !narrow.empty();
}

}  // namespace

std::string FormTheCodePageHolds(const std::u16string& longForm, const std::u16string& shortForm,
                                 const ToCodePage& toCodePage) {
    std::string folder;
    if (Narrow(longForm, toCodePage, folder) || Narrow(shortForm, toCodePage, folder)) return folder;
    return "";
}

PerUserChoice PerUserRoot(const std::u16string& localAppData, const std::u16string& shortForm,
                          const ToCodePage& toCodePage) {
    PerUserChoice choice;
    std::string folder = FormTheCodePageHolds(localAppData, shortForm, toCodePage);
    if (!folder.empty()) {
        choice.root = folder + kProgramsFolder;
        choice.usable = true;
    }
    return choice;
}

std::string InstalledRoot(const std::string& installPath, const std::string& legacyRoot) {
    if (!install_paths::IsProductFolder(installPath)) return legacyRoot;
    std::string product = text::TrimRightAny(installPath, "\\");
    // IsProductFolder has checked the two last components, the product folder's own.
    return product.substr(0, product.size() - install_paths::ProductFolder("").size());
}

std::string RootForRun(bool installed, const std::string& installedRoot, bool installedWritable,
                       const PerUserChoice& perUser) {
    if (installed && installedWritable) return installedRoot;
    return perUser.usable ? perUser.root : "";
}

}  // namespace install_root
