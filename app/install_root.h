// Where the suite is installed: under the user's own local application data, so that
// installing and updating never need an administrator, and where an install made
// earlier under Program Files goes on from.
#pragma once

#include <functional>
#include <string>

namespace install_root {

// Converts a path from UTF-16 to the programs' code page; false when some character
// has no exact counterpart there (the converter would put '?' or a look-alike in
// its place, and that path would name another file or none).
using ToCodePage = std::function<bool(const std::u16string& wide, std::string& narrow)>;

// The form of a folder that the code page holds, from its long form and its short
// (8.3) form ("" when the volume makes none): the long one when it converts
// exactly, the short one otherwise; "" when neither does. Cleaned as the shell's
// paths are (install_paths::CleanShellPath).
std::string FormTheCodePageHolds(const std::u16string& longForm, const std::u16string& shortForm,
                                 const ToCodePage& toCodePage);

struct PerUserChoice {
    std::string root;     // "...\Programs", in the code page; "" when !usable
    bool usable = false;  // false: no form of the folder that the programs can hold
};

// The per-user root below the local application data folder, from its long form
// and its short (8.3) form ("" when the volume makes none). The long form is taken
// when the code page holds it, the short one otherwise: a profile named in another
// script ("José", "张伟" on a Korean Windows) still gets a path that round-trips.
PerUserChoice PerUserRoot(const std::u16string& localAppData, const std::u16string& shortForm,
                          const ToCodePage& toCodePage);

// The root of the recorded install, from INSTALLPATH (the product folder the
// installer recorded); `legacyRoot` (Program Files) when nothing usable is recorded,
// which is where every install before the per-user one went.
std::string InstalledRoot(const std::string& installPath, const std::string& legacyRoot);

// Where a run builds and records the version it installs: where the installed suite
// is when that folder can be written (an administrator's install on XP stays where
// it is), the per-user root otherwise; the per-user root for a fresh install. ""
// when neither can be used.
std::string RootForRun(bool installed, const std::string& installedRoot, bool installedWritable,
                       const PerUserChoice& perUser);

}  // namespace install_root
