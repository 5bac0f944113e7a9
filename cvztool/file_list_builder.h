// The vendor's side of a release's file list: made from the package itself, as the
// installer will unpack it, and signed with the release key.
#pragma once

#include <functional>
#include <string>

#include "release/file_list.h"
#include "cvztool/release_signing.h"

namespace file_list_builder {

// Called with each entry's name before it is extracted; may throw to stop.
using EntryCheck = std::function<void(const std::string& name)>;

// Every entry of the package at `packagePath`, extracted with the installer's own
// reader into `scratchFolder` (which must be empty) and each file hashed, with the
// package's digest and size. The reader's exceptions (CZipException,
// FileException) pass through; an entry the reader refuses throws SigningError.
file_list::FileList ListOfPackage(const std::string& packagePath, const std::string& version,
                                  const std::string& scratchFolder, const EntryCheck& check = nullptr);

// The list's text, signed with `key`. Throws SigningError.
std::string SignedList(const release_signing::PrivateKey& key, const file_list::FileList& list);

}  // namespace file_list_builder
