// The Windows programs of a release folder, as `cvztool release` treats them before
// packing: with trusted roots given, every program must carry a signature that
// osslsigncode verifies against them, time stamp included, or the release is
// refused naming it. Without, each program that carries none is named, for a
// warning.
#pragma once

#include <string>
#include <vector>

#include "cvztool/package_writer.h"

namespace release_programs {

struct Findings {
    std::vector<std::string> unsignedPrograms;  // when no signature was required
};

// Examines the programs of `walked` (the folder about to be packed). `trustedRoots`:
// "" or the PEM file that every signature must chain to. Names are the files' paths
// inside the folder. Throws site_files::Refused.
Findings Examine(package_writer::WalkedFolder& walked, const std::string& trustedRoots);

}  // namespace release_programs
