// Authenticode as far as a release needs it: which of its files are Windows
// programs, whether a program carries a signature, and what osslsigncode finds of
// a signature. Reading and checking signatures is osslsigncode's (and openssl's):
// what is ours is which files to ask about, and what the answers mean for a release.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace authenticode {

// A file of a release, as Windows would take it.
enum class ProgramKind {
    notAProgram,      // neither named .exe or .dll nor beginning with a program's headers
    unsignedProgram,  // a program without a certificate table
    signedProgram,    // a program with one, whether or not it verifies
};

// Up to `length` bytes of the file at `offset`; fewer, or none, past its end.
using ReadAt = std::function<std::string(uint64_t offset, size_t length)>;

// What the file named `name` is: a program by its name (.exe or .dll, in any case)
// or by its first bytes ("MZ", and "PE\0\0" where the offset at 0x3C points), since
// Windows runs or loads a program whatever its name, and signs and checks it so.
ProgramKind KindOf(const std::string& name, const ReadAt& read);

// Why the signature of the program at `path` does not verify against the roots in
// `trustedRoots` (a PEM file, for its signer and its time stamp alike), mostly in
// osslsigncode's words; "" when it does.
std::string SignatureProblem(const std::string& path, const std::string& trustedRoots);

// Whether the two signed programs are one program (the bytes that Authenticode
// digests are the same in both) signed with the same certificates: they then differ
// only in when they were signed and stamped. `scratchFolder` holds what is extracted
// from them on the way.
bool SameProgramSameSigner(const std::string& a, const std::string& b, const std::string& scratchFolder);

}  // namespace authenticode
