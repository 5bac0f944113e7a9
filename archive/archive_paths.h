// Path handling of the extraction: converting and splitting stored names the way
// the C run time's _splitpath does (either slash separates), refusing names that
// cannot be used safely under the target, and creating a chain of folders.
#pragma once

#include <string>

#include "framework/reserved_names.h"

namespace archive_paths {

using reserved_names::NameEncoding;

// The encoding of a name held after reading the directory: on Windows every name is
// converted to the system code page; natively a UTF-8 name stays UTF-8.
NameEncoding HeldEncoding(bool storedAsUtf8);

// Converts a stored name for use on this system, in place: from UTF-8 when
// `storedAsUtf8`, from the OEM code page otherwise, then forward slashes become
// backslashes. False when a UTF-8 name is not valid UTF-8 or holds a character the
// system code page lacks; the name is then left as stored (slashes still turned).
bool ConvertStoredName(std::string& name, bool storedAsUtf8);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);

struct PathParts {
    std::string drive;      // "C:" or empty
    std::string directory;  // with its trailing separator
    std::string fileName;
    std::string extension;  // with its dot
};

PathParts SplitPath(const std::string& path, NameEncoding encoding = NameEncoding::SystemCodePage);

// True when a folder component of `name` would lead above the folder it is put
// under: "..", or any component of only dots and blanks (which Windows shortens).
bool ClimbsOut(const std::string& name);

// True when a component of `name` is a device on Windows in every folder: CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9 (also with the
// superscript digits), in any case, with or without an extension.
bool NamesDevice(const std::string& name, NameEncoding encoding);

// The longest name component the file systems take (NTFS counts UTF-16 units, the
// POSIX ones bytes).
constexpr size_t kMaxComponentLength = 255;
bool HasOverlongComponent(const std::string& name, NameEncoding encoding);

// Why a name cannot be extracted under a target folder, or None. `name` is the
// part that is put under the target (drive and leading separators removed).
enum class NameRefusal {
    None,
    ZeroByte,          // the file system would see only the text before it
    ClimbsOut,         // a component leads above the target
    DeviceName,        // a component names a device
    OverlongComponent  // a component no file system takes
};
NameRefusal CheckName(const std::string& name, NameEncoding encoding);

std::string StripTrailingSeparators(const std::string& path);

// True when `name` is made of nothing but "." components and separators, so that
// it names the folder it is put under.
bool IsOnlyCurrentFolder(const std::string& name);

// Creates `path` and every missing folder above it; false when a part of the chain
// cannot be created (for example because a file of that name is in the way).
bool CreateFolderChain(const std::string& path, NameEncoding encoding = NameEncoding::SystemCodePage);

}  // namespace archive_paths
