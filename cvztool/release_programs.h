// The Windows programs of a release folder, as `cvztool release` treats them before
// packing:
//
// - A program that differs from the one SITE publishes under its name only in its
//   signature (the same program, signed again with the same certificates: a build
//   signs at every link, and a time stamp differs at every signing) keeps the signed
//   bytes it was published with, so that an update leaves it out as it leaves out
//   any file that did not change.
// - With trusted roots given, every program must carry a signature that osslsigncode
//   verifies against them, time stamp included, or the release is refused naming it.
//   Without, each program that carries none is named, for a warning.
#pragma once

#include <string>
#include <vector>

#include "cvztool/package_writer.h"

namespace release_programs {

struct Findings {
    std::vector<std::string> unsignedPrograms;  // when no signature was required
    std::vector<std::string> keptAsPublished;   // programs that keep their published bytes
};

// Examines the programs of `walked` (the folder about to be packed); a kept program's
// entry is given the published bytes. `publishedPackage`: the package SITE publishes
// now, "" for none. `trustedRoots`: "" or the PEM file that every signature must
// chain to. Names are the files' paths inside the folder. Throws site_files::Refused.
Findings Examine(package_writer::WalkedFolder& walked, const std::string& publishedPackage,
                 const std::string& trustedRoots);

}  // namespace release_programs
