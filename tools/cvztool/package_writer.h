// Packs a folder into a ".cvz" package that the installer's reader takes as it is:
// deflated files and folder entries, names relative to the folder in code page 949
// (the installer reads names in the machine's OEM code page and knows no UTF-8
// flag), DOS attributes, and entry times from the files. The same folder always
// gives the same bytes, so a package can be rebuilt and compared, and nothing in it
// records when or where it was packed.
//
// Writing is left to libzip; what is ours is the choice and order of entries and the
// refusal of anything that would not arrive intact on a Windows machine.
#pragma once

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>

namespace package_writer {

// Why a folder cannot be packed, naming the file or folder concerned.
class PackError : public std::runtime_error {
 public:
    using std::runtime_error::runtime_error;
};

struct PackSummary {
    unsigned files = 0;
    unsigned folders = 0;
};

// Writes `package` from everything inside `folder` (not the folder itself). Every
// name is checked before the package is opened, and libzip writes to a temporary
// file that replaces `package` only once it is complete, so a refused folder or a
// failed write leaves an existing `package` as it was. Throws PackError.
PackSummary PackFolder(const std::string& folder, const std::string& package);

// The file system's UTF-8 name as code page 949 bytes. Throws PackError when the
// name is not UTF-8 or holds a character that code page 949 has no code for.
std::string ToCodePage949(const std::string& utf8);

// Why `name` (one path component, UTF-8) cannot be a file or folder name on Windows,
// or "" when it can: characters Windows refuses, a trailing dot or blank (which
// Windows drops, so the file would land under another name), or a device name such
// as "CON" or "nul.txt" (which no folder can hold).
std::string WindowsNameProblem(const std::string& name);

struct DosDateTime {
    uint16_t date;
    uint16_t time;
};

// A file time in MS-DOS form, in local time as the installer sets it back. The form
// counts from 1980 to 2107 in two-second steps; earlier times become the first
// moment of 1980, later ones the last moment of 2107.
DosDateTime ToDosDateTime(time_t when);

// `cvztool pack FOLDER PACKAGE`: arguments after the command name. Exit 0 packed,
// 4 refused or failed (reason on standard error), 64 usage.
int RunPackCommand(int argc, char** argv);

}  // namespace package_writer
