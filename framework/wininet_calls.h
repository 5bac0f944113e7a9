// WinInet's declarations, for programs that load WinInet on its first call (it is
// not a library Windows keeps to its own folder, so importing it directly lets a
// "wininet.dll" beside the program run before the program's first line).
//
// The system header declares every function as imported from the library, which
// makes calls go through the import slot itself; the delay-load slots are filled
// only by going through the function's own stub. Declared plainly, calls take the
// stub, which loads the library from the system folder on first use. Include
// WinInet only through this header.
#pragma once

#include <windows.h>

#pragma push_macro("DECLSPEC_IMPORT")
#undef DECLSPEC_IMPORT
#define DECLSPEC_IMPORT
#include <wininet.h>
#pragma pop_macro("DECLSPEC_IMPORT")
