// The shell's special folders, and the version's folder tree below the install root.
#pragma once

#include <string>

// The install root: the Program Files folder, cleaned (see
// install_paths::CleanShellPath); "" when the shell cannot say.
std::string ResolveSpecialFolders();

// A special folder (CSIDL_...) without a trailing backslash, "" when the shell has
// none: the Start menu's programs, the desktop and Application Data for shortcuts.
std::string ShellFolder(int csidl);

// Creates the folders every version shares (the company and product folders,
// IMAGE, MEMO, MYLINK), parents first. Existing folders and failures alike are
// passed over, so each call can succeed on a clean disk and a later step reports
// what is missing. A version's own folders are made where it is built.
void CreateProductFolders(const std::string& installRoot);
