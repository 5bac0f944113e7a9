#include "cvztool/release_programs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cvztool/authenticode.h"
#include "cvztool/scratch_folder.h"
#include "cvztool/site_files.h"

namespace fs = std::filesystem;
using authenticode::ProgramKind;
using site_files::Quoted;
using site_files::Refuse;

namespace release_programs {

namespace {

authenticode::ReadAt ReaderOf(int descriptor) {
    return [descriptor](uint64_t offset, size_t length) {
        std::string bytes(length, '\0');
        ssize_t got;
        do {
            got = ::pread(descriptor, &bytes[0], length, static_cast<off_t>(offset));
        } while (got < 0 && errno == EINTR);
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return bytes;
    };
}

// A walked file's bytes under `path`, for the tools that read files by name.
void CopyOut(const package_writer::WalkedEntry& entry, const std::string& path) {
    std::string bytes = ReaderOf(entry.file.Get())(0, static_cast<size_t>(entry.size));
    if (bytes.size() != entry.size) Refuse(Quoted(entry.path) + " cannot be read: " + std::strerror(errno));
    site_files::WriteNewFile(path, bytes);
}

}  // namespace

Findings Examine(package_writer::WalkedFolder& walked, const std::string& trustedRoots) {
    std::error_code error;
    if (!trustedRoots.empty() && !fs::is_regular_file(trustedRoots, error))
        Refuse("the trusted roots " + Quoted(trustedRoots) + " are not a file");
    ScratchFolder scratch;
    Findings findings;
    unsigned examined = 0;
    for (package_writer::WalkedEntry& entry : walked.entries) {
        if (entry.isFolder) continue;
        std::string name = fs::path(entry.path).lexically_relative(walked.folder).string();
        ProgramKind kind = authenticode::KindOf(name, ReaderOf(entry.file.Get()));
        if (kind == ProgramKind::notAProgram) continue;
        if (kind == ProgramKind::unsignedProgram) {
            if (!trustedRoots.empty()) Refuse(Quoted(name) + " is a program without an Authenticode signature");
            findings.unsignedPrograms.push_back(name);
            continue;
        }
        if (trustedRoots.empty()) continue;
        std::string current = scratch.path() + "/" + std::to_string(++examined) + ".new";
        CopyOut(entry, current);
        std::string problem = authenticode::SignatureProblem(current, trustedRoots);
        if (!problem.empty())
            Refuse(Quoted(name) + " has an Authenticode signature that does not verify against " +
                   Quoted(trustedRoots) + ": " + problem);
    }
    return findings;
}

}  // namespace release_programs
