// An update built from what changed: the installed release, the new package on a
// "server" that answers byte ranges, and the new release's signed file list.
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "install/changed_files.h"
#include "release/release_signature.h"
#include "test_release_key.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"
#include "cvztool/file_list_builder.h"

using install::ByteRange;

namespace {

// Byte ranges out of a package file, as a server that honours ranges sends them;
// `wholeFileOnly` plays one that answers every request with the whole file, and
// `otherBytes` one whose bytes are not the signed package's.
class FilePackage : public install::PackageRanges {
 public:
    explicit FilePackage(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Fetch(uint64_t first, uint64_t last, std::string& bytes) override {
        ++requests;
        if (wholeFileOnly || last >= bytes_.size() || first > last) return false;
        bytes = bytes_.substr(first, last - first + 1);
        if (otherBytes && bytes.size() > 40) bytes[bytes.size() / 2] ^= 0x5A;
        return true;
    }
    bool wholeFileOnly = false;
    bool otherBytes = false;
    int requests = 0;

 private:
    std::string bytes_;
};

// Four kilobytes that do not compress, as skins do not, so that the directory is a
// small part of the package as it is in a real one.
std::string SkinText(int i, const std::string& release) {
    std::mt19937 random(static_cast<unsigned>(i));
    std::string text(4096, '\0');
    for (char& c : text) c = static_cast<char>(random());
    return text + release;
}

// Each file's path, bytes and last-write time: what an unpacking leaves.
std::map<std::string, std::pair<std::string, time_t>> Files(const std::string& root) {
    std::map<std::string, std::pair<std::string, time_t>> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(scratch::Native(root))) {
        if (!item.is_regular_file()) continue;
        std::string path = item.path().lexically_relative(scratch::Native(root)).generic_string();
        files[path] = {scratch::ReadBytes(root + "\\" + path), scratch::LastWriteTime(root + "\\" + path)};
    }
    return files;
}

// A release of `files` skin files and a folder; file `changed` differs in release 2.
std::string Package(int files, int changed, const std::string& release) {
    zip_builder::Builder zip;
    zip_builder::Entry folder = zip_builder::Named("SKIN/CORE/", "");
    folder.externalAttributes = ArchiveEntryInfo::kAttributeDirectory;
    zip.Add(folder);
    for (int i = 0; i < files; ++i)
        zip.Add(zip_builder::Named("SKIN/CORE/part" + std::to_string(i) + ".txt", SkinText(i, i == changed ? release : "")));
    return zip.Build();
}

struct Releases {
    scratch::Folder folder;
    std::string oldPackage, newPackage;
    std::string installed, fresh, wholeUnpack, scratchPackage;
    file_list::FileList list;

    Releases(int files, int changed) {
        oldPackage = Package(files, changed, "");
        newPackage = Package(files, changed, "2.02");
        installed = folder / "installed";
        fresh = folder / "fresh";
        wholeUnpack = folder / "whole";
        scratchPackage = folder / "2.02.cvz";
        Extract(oldPackage, installed);
        Extract(newPackage, wholeUnpack);
        scratch::WriteBytes(folder / "new.cvz", newPackage);
        release_signing::PrivateKey key;
        std::string error;
        release_signing::ParsePrivateKeyPem(VL2_TEST_PRIVATE_KEY_PEM, key, error);
        scratch::CreateFolder(folder / "listing");
        list = file_list_builder::ListOfPackage(folder / "new.cvz", "2.02", folder / "listing");
    }

    void Extract(const std::string& package, const std::string& target) {
        scratch::WriteBytes(folder / "package.cvz", package);
        scratch::CreateFolder(target);
        ArchiveReader reader;
        reader.Open((folder / "package.cvz").c_str(), ArchiveReader::OpenReadOnly, 0);
        for (int i = 0; i < reader.GetCount(); ++i) reader.ExtractFile(i, target.c_str());
        reader.Close();
    }

    bool Build(FilePackage& server, install::ChangeSummary& summary) {
        return install::BuildFromChanges(list, installed, fresh, scratchPackage, server, nullptr, summary);
    }
};

}  // namespace

TEST_CASE(changed_files, one_changed_file_of_many_is_all_that_is_fetched_and_the_folder_is_the_whole_unpackings) {
    Releases releases(300, 17);
    FilePackage server(releases.newPackage);
    install::ChangeSummary summary;
    CHECK(releases.Build(server, summary));
    CHECK_EQ(summary.copied, 299u);
    CHECK_EQ(summary.fetched, 1u);
    CHECK(Files(releases.fresh) == Files(releases.wholeUnpack));
    CHECK(!scratch::Exists(releases.scratchPackage));
    // The end of the package, its directory and one entry: under 5 % of it.
    CHECK(summary.bytesFetched * 20 < releases.newPackage.size());
    CHECK_EQ(server.requests, 3);
}

TEST_CASE(changed_files, what_the_user_altered_or_deleted_is_fetched_and_any_doubt_refuses_the_folder) {
    struct Row {
        const char* what;
        void (*spoil)(Releases&, FilePackage&);
        bool built;
        unsigned fetched;
    } rows[] = {
        {"an installed file altered", [](Releases& r, FilePackage&) {
             scratch::WriteBytes(r.installed + "\\SKIN\\CORE\\part3.txt", "the user's own skin\n"); },
         true, 2},
        {"an installed file deleted", [](Releases& r, FilePackage&) {
             file_system::RemoveFile(r.installed + "\\SKIN\\CORE\\part4.txt"); },
         true, 2},
        {"a server that sends the whole file for a range", [](Releases&, FilePackage& s) { s.wholeFileOnly = true; },
         false, 0},
        {"a server whose bytes are not the signed package's", [](Releases&, FilePackage& s) { s.otherBytes = true; },
         false, 0},
        {"a list that does not list the package", [](Releases& r, FilePackage&) { r.list.entries.pop_back(); },
         false, 0},
        {"a list whose digest of a file is not the package's", [](Releases& r, FilePackage&) {
             r.list.entries[5].sha256[0] ^= 1; },
         false, 0},
    };
    for (const Row& row : rows) {
        Releases releases(40, 17);
        FilePackage server(releases.newPackage);
        row.spoil(releases, server);
        install::ChangeSummary summary;
        bool built = releases.Build(server, summary);
        if (built != row.built || (built && summary.fetched != row.fetched)) {
            std::printf("    %s: built %d, fetched %u\n", row.what, built, summary.fetched);
            CHECK_EQ(std::string(row.what), std::string("as the table says"));
        }
        if (built) CHECK(Files(releases.fresh) == Files(releases.wholeUnpack));
        CHECK(!scratch::Exists(releases.scratchPackage));
    }
}

TEST_CASE(changed_files, neighbouring_ranges_are_fetched_as_one_and_distant_ones_apart) {
    std::vector<ByteRange> joined = install::JoinRanges({{9000, 9999}, {0, 99}, {100, 199}, {4200, 4399}}, 4096);
    CHECK_EQ(joined.size(), size_t(2));
    CHECK_EQ(joined[0].first, 0u);
    CHECK_EQ(joined[0].last, 4399u);
    CHECK_EQ(joined[1].first, 9000u);
}

TEST_CASE(changed_files, the_directory_is_found_only_where_the_end_record_says_and_nothing_follows_it) {
    std::string package = Package(5, 0, "");
    uint64_t offset = 0;
    CHECK(install::FindDirectory(package, 0, package.size(), offset));
    CHECK(offset > 0 && offset < package.size());
    std::string tail = package.substr(package.size() - 100);
    CHECK(install::FindDirectory(tail, package.size() - 100, package.size(), offset));
    // Bytes after the record, or a tail that is not the package's end: no directory.
    CHECK(!install::FindDirectory(package + "x", 0, package.size() + 1, offset));
    CHECK(!install::FindDirectory(tail, package.size() - 101, package.size(), offset));
}
