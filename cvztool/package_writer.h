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
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cvztool/scoped_descriptor.h"

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

struct WalkedFolder;
// Called between the walk and the writing, to look at (or change) what is packed.
using BeforeWriting = std::function<void(WalkedFolder& walked)>;

// Writes `package` from everything inside `folder` (not the folder itself):
// WalkFolder, `beforeWriting` if given, then WritePackage. Every name is checked
// before the package is opened, and libzip writes to a temporary file that replaces
// `package` only once it is complete, so a refused folder or a failed write leaves
// an existing `package` as it was. Throws PackError, and whatever `beforeWriting`
// throws.
PackSummary PackFolder(const std::string& folder, const std::string& package,
                       const BeforeWriting& beforeWriting = nullptr);

// A file or folder found inside the folder being packed. A file stays open from the
// walk until libzip has written it, because libzip reads files only when the archive
// is closed: what is packed is the file that was checked, whatever has taken its
// name by then (a link to the signing key, say).
struct WalkedEntry {
    std::string path;        // on this machine, for messages
    std::string storedName;  // code page 949, "/" between components, folders end with "/"
    bool isFolder = false;
    time_t modified = 0;
    uint64_t size = 0;
    ScopedDescriptor file;  // files only
};

// Everything inside a folder, in the order it is packed: names in byte order, each
// folder before what it holds.
struct WalkedFolder {
    std::string folder;
    std::vector<WalkedEntry> entries;
};

// Walks `folder` without following a link anywhere, refuses what a package cannot
// carry, and opens every file (checked to be the regular file the walk saw). One
// descriptor per file: the limit on open files is raised as far as the system lets
// this process, and a folder holding more files than that is refused. Throws
// PackError.
WalkedFolder WalkFolder(const std::string& folder);

// Writes what the walk found to `package`, reading every file through the
// descriptor the walk opened, never by its name again. Throws PackError.
PackSummary WritePackage(WalkedFolder walked, const std::string& package);

// The file system's UTF-8 name as code page 949 bytes. Throws PackError when the
// name is not UTF-8 or holds a character that code page 949 has no code for.
std::string ToCodePage949(const std::string& utf8);

// The key under which Windows finds `name` (one path component, UTF-8) in a folder:
// its UTF-16 form with each unit upper-cased one to one, as the file system's upcase
// table does, so that two names with one key are one file there. The mapping is
// Unicode's simple one, which holds every case pair code page 949 can write (ASCII,
// Greek, Cyrillic, full-width Latin, Roman numerals, Æ/æ and a few more Latin
// letters); where it folds more than Windows might (ı to I), a pair Windows would
// keep apart is refused, never the other way. Throws PackError when the name is
// not UTF-8.
std::u16string WindowsCaseKey(const std::string& name);

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
