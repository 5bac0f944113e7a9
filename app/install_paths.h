// Every install path of the suite, formed from the install root (the folder every
// install path begins with) and a version text with the same printf-style patterns everywhere, so that a path
// written by one step is found again by the next.
#pragma once

#include <string>
#include <vector>

namespace install_paths {

// The fixed token the suite expects on every launch by this program.
extern const char* const kSuiteLaunchToken;

// A special folder as the shell gave it, cleaned: leading white space,
// then trailing backslashes, then trailing white space removed.
std::string CleanShellPath(const std::string& raw);

// The folders of one version's tree in creation order, parents first: the shared
// ones, then the version's own.
std::vector<std::string> FolderTree(const std::string& installRoot, const std::string& version);
// The shared part alone.
std::vector<std::string> SharedFolders(const std::string& installRoot);

std::string ProductFolder(const std::string& installRoot);
std::string VersionFolder(const std::string& installRoot, const std::string& version);
std::string LauncherPath(const std::string& installRoot, const std::string& version);
// The suite's main executable.
std::string SuiteProgram(const std::string& installRoot, const std::string& version);
// The suite's main executable, quoted, and its token. Unquoted, a path with a blank
// ("C:\Program Files\...") lets Windows try "C:\Program.exe" first, which anyone
// who can write to the drive's root could plant.
std::string SuiteCommand(const std::string& installRoot, const std::string& version);
// The program every shortcut and the autostart value name: beside the version
// folders, the same for every version, so that a shortcut the user pinned or copied
// keeps working after any number of updates. It starts the recorded version's
// launcher.
std::string StableLauncherPath(const std::string& installRoot);
// The autostart value: a program's path, quoted for the same reason.
std::string AutoRunCommand(const std::string& programPath);
// The uninstall entry's command: the uninstaller's path, quoted for the same reason.
std::string UninstallCommand(const std::string& installRoot);
std::string UninstallerPath(const std::string& installRoot);

// Where a run builds the version it installs, apart from every version folder: no
// version can have its name (version texts never begin with "~"), so neither
// pruning, nor start-up, nor a later run takes anything in it for a version. A run
// empties it before it begins; only a package download cut short is kept there,
// named by the package's signed digest, for the next attempt to finish.
std::string StagingFolder(const std::string& installRoot);
// The package with the signed digest `sha256Text` (64 hexadecimal digits) in the
// staging folder.
std::string StagedPackagePath(const std::string& installRoot, const std::string& sha256Text);
// The folders of a version's tree below the version folder, parents first ("BIN",
// ..., "SKIN\PINBAR"): made in the staging folder, they move with it.
std::vector<std::string> VersionTreeFolders();
// The folders of a version's tree where the suite keeps what the user made in it
// (FAVORITE, RESULT, SUGGEST): a version folder that is replaced in place, as a
// repair does, hands what is in them on.
std::vector<std::string> SuiteDataFolders();

// True for an absolute path whose last two components are Corvalen and Velmora2 (in
// any letter case): the only folder form the installer records as INSTALLPATH.
bool IsProductFolder(const std::string& path);

}  // namespace install_paths
