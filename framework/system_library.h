// Libraries that the programs look up at run time come from the system folder
// only. The installer usually runs from the user's download folder, where anybody
// who can put a file can put a "PSAPI.DLL" that a search by bare name finds first.
#pragma once

#include <windows.h>

// Loads `name` (a file name, no path) from the system folder; null when it is not there.
HMODULE LoadSystemLibrary(const char* name);

// Where the system offers it (SetDefaultDllDirectories, looked up at run time),
// limits every later library search of this process to the system folder.
void LimitLibrarySearchToSystemFolder();
