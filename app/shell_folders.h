// The shell's special folders, and the version's folder tree below the install root.
#pragma once

#include <string>

#include "app/install_root.h"

// The root every install before the per-user one used: the Program Files folder,
// cleaned (see install_paths::CleanShellPath); "" when the shell cannot say.
std::string ProgramFilesRoot();

// The per-user root: the user's local application data folder's Programs folder, in
// a form the programs' code page holds (install_root::PerUserRoot).
install_root::PerUserChoice PerUserInstallRoot();

// Converts to the programs' code page, false when a character has no exact
// counterpart there.
bool ToCodePage(const std::u16string& wide, std::string& narrow);

// True when this user can create files in `folder` (tried with a file that removes
// itself): Program Files, for an ordinary user of Windows since Vista, is not.
bool CanWriteIn(const std::string& folder);

// A special folder (CSIDL_...) without a trailing backslash, in a form the code page
// holds (its short form where the long one has characters the code page lacks); ""
// when the shell has none or there is no such form: the Start menu's programs, the
// desktop and Application Data for shortcuts.
std::string ShellFolder(int csidl);

// Creates the install root when it is missing and the folders every version shares
// (the company and product folders, IMAGE, MEMO, MYLINK), parents first. Existing folders and failures alike are
// passed over, so each call can succeed on a clean disk and a later step reports
// what is missing. A version's own folders are made where it is built.
void CreateProductFolders(const std::string& installRoot);
