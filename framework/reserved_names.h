// Names that Windows opens as a device in every folder, whatever the folder: a
// file or folder of such a name cannot be made, and opening one reaches the device.
// One list for every name that comes from outside (package entries, the version a
// manifest names, names the release tool packs).
#pragma once

#include <string>

namespace reserved_names {

// How the bytes of a name held in memory are to be read.
enum class NameEncoding {
    SystemCodePage,  // the ANSI code page (949 for the Korean release); double-byte characters
    Utf8,            // a name flagged as UTF-8 that the platform keeps as it is (native builds)
};

// True when `component` (one name, no separators) is CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0 to COM9 or LPT0 to LPT9, also with the superscript digits one to
// three, in any letter case, alone or followed by blanks, a dot or a stream's colon
// and anything ("nul.txt", "COM1 .cvz", "CONIN$:x").
bool IsDeviceName(const std::string& component, NameEncoding encoding);

}  // namespace reserved_names
