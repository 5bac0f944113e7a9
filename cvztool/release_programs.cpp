#include "cvztool/release_programs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

#include "archive/archive_reader.h"
#include "install/changed_files.h"
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

// The package SITE publishes, for the programs it holds under the names a new
// release gives.
class PublishedPrograms {
 public:
    explicit PublishedPrograms(const std::string& package) {
        std::error_code missing;
        if (package.empty() || !fs::exists(package, missing)) return;
        try {
            reader_.Open(package.c_str(), ArchiveReader::OpenReadOnly, 0);
            indexOf_ = install::EntriesByName(reader_);
        } catch (...) {  // a package the reader refuses has nothing to keep
            reader_.Close(true);
            indexOf_.clear();
        }
    }
    ~PublishedPrograms() {
        if (!reader_.IsClosed()) reader_.Close();
    }

    // The published file stored as `storedName`, extracted as `path`; false when the
    // package has none.
    bool Extract(const std::string& storedName, const std::string& path) {
        std::string name = storedName;
        for (char& c : name)
            if (c == '/') c = '\\';
        auto found = indexOf_.find(name);
        fs::path target(path);
        return found != indexOf_.end() &&
               reader_.ExtractFile(found->second, target.parent_path().c_str(), false, target.filename().c_str());
    }

 private:
    ArchiveReader reader_;
    std::map<std::string, int> indexOf_;
};

bool SameBytes(const std::string& a, const std::string& b) {
    return ScratchFolder::ReadWhole(a) == ScratchFolder::ReadWhole(b);
}

}  // namespace

Findings Examine(package_writer::WalkedFolder& walked, const std::string& publishedPackage,
                 const std::string& trustedRoots) {
    std::error_code error;
    if (!trustedRoots.empty() && !fs::is_regular_file(trustedRoots, error))
        Refuse("the trusted roots " + Quoted(trustedRoots) + " are not a file");
    ScratchFolder scratch;
    PublishedPrograms published(publishedPackage);
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
        std::string stem = scratch.path() + "/" + std::to_string(++examined);
        std::string current = stem + ".new", before = stem + ".published";
        CopyOut(entry, current);
        if (published.Extract(entry.storedName, before) && !SameBytes(current, before) &&
            authenticode::SameProgramSameSigner(current, before, scratch.path())) {
            ScopedDescriptor kept(::open(before.c_str(), O_RDONLY | O_CLOEXEC));
            if (!kept) Refuse(Quoted(before) + " cannot be read: " + std::strerror(errno));
            entry.file = std::move(kept);
            entry.size = fs::file_size(before);
            findings.keptAsPublished.push_back(name);
            current = before;
        }
        if (trustedRoots.empty()) continue;
        std::string problem = authenticode::SignatureProblem(current, trustedRoots);
        if (!problem.empty())
            Refuse(Quoted(name) + " has an Authenticode signature that does not verify against " +
                   Quoted(trustedRoots) + ": " + problem);
    }
    return findings;
}

}  // namespace release_programs
