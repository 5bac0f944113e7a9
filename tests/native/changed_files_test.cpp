// An update built from what changed: the installed release, the new package on a
// server that answers byte ranges (honestly, or not), and the new release's signed
// file list; and, as the run does it, the whole package when the changes are in
// doubt, each built in the staging and named as its version folder only when whole.
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "install/changed_files.h"
#include "install/staging.h"
#include "install/unpack_package.h"
#include "net/package_download.h"
#include "release/release_encoding.h"
#include "release/release_signature.h"
#include "tests/check.h"
#include "tests/native/fake_file_server.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"
#include "cvztool/file_list_builder.h"

using install::ByteRange;
using install::ChangesOutcome;

namespace {

// Four kilobytes that do not compress, as skins do not, so that the directory is a
// small part of the package as it is in a real one; and so that other bytes of the
// same length deflate to the same length, leaving every offset where it was.
std::string SkinText(int i, const std::string& release, unsigned seed = 0) {
    std::mt19937 random(static_cast<unsigned>(i) + seed);
    std::string text(4096, '\0');
    for (char& c : text) c = static_cast<char>(random());
    return text + release;
}

// Each file's path, bytes and last-write time: what an unpacking leaves.
std::map<std::string, std::pair<std::string, time_t>> Files(const std::string& root) {
    std::map<std::string, std::pair<std::string, time_t>> files;
    if (!scratch::IsFolder(root)) return files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(scratch::Native(root))) {
        if (!item.is_regular_file()) continue;
        std::string path = item.path().lexically_relative(scratch::Native(root)).generic_string();
        files[path] = {scratch::ReadBytes(root + "\\" + path), scratch::LastWriteTime(root + "\\" + path)};
    }
    return files;
}

std::string PartName(int i) { return "SKIN/CORE/part" + std::to_string(i) + ".txt"; }

// A package of a folder and `files` entries that `entry` makes, padded with a comment
// to `size` bytes when one is given: a forged package the size of the signed one.
std::string PackageOf(int files, const std::function<zip_builder::Entry(int)>& entry, size_t size = 0) {
    auto build = [&](const std::string& comment) {
        zip_builder::Builder zip;
        zip_builder::Entry folder = zip_builder::Named("SKIN/CORE/", "");
        folder.externalAttributes = ArchiveEntryInfo::kAttributeDirectory;
        zip.Add(folder);
        for (int i = 0; i < files; ++i) zip.Add(entry(i));
        return zip.Build("", comment);
    };
    std::string package = build("");
    if (size > package.size()) package = build(std::string(size - package.size(), 'c'));
    return package;
}

// A release of `files` skin files and a folder; file `changed` differs in release 2,
// and with `seed` holds other bytes (its CRC the right one for them).
std::string Package(int files, int changed, const std::string& release, unsigned seed = 0) {
    return PackageOf(files, [&](int i) {
        return zip_builder::Named(PartName(i), SkinText(i, i == changed ? release : "", i == changed ? seed : 0));
    });
}

bool IsReadOnly(const std::string& path) {
#if defined(_WIN32)
    return (scratch::AttributesOrMode(path) & FILE_ATTRIBUTE_READONLY) != 0;
#else
    return (scratch::AttributesOrMode(path) & S_IWUSR) == 0;
#endif
}

struct Releases {
    scratch::Folder folder;
    std::string oldPackage, newPackage;
    std::string installed, staging, versionFolder, wholeUnpack;
    file_list::FileList list;

    Releases(int files, int changed) {
        oldPackage = Package(files, changed, "");
        newPackage = Package(files, changed, "2.02");
        installed = folder / "2.01";
        staging = folder / "~staging";
        versionFolder = folder / "2.02";
        wholeUnpack = folder / "whole";
        Extract(oldPackage, installed);
        Extract(newPackage, wholeUnpack);
        scratch::CreateFolder(staging);
        scratch::WriteBytes(folder / "new.cvz", newPackage);
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

    std::string NewTree() {
        std::string tree = install::UnusedPath(staging, "new");
        CHECK(install::MakeVersionTree(tree));
        return tree;
    }

    ChangesOutcome Build(FakeFileServer& server, const std::string& tree, install::ChangeSummary& summary,
                         StopRequest& stop, WorkProgress& progress) {
        install::ChangesJob job;
        job.list = list;
        job.installedFolder = installed;
        job.newFolder = tree;
        job.scratchPackage = install::UnusedPath(staging, "ranges.cvz");
        job.packageUrl = "http://server/2.02.cvz";
        return install::BuildFromChanges(job, server, stop, progress, summary);
    }

    ChangesOutcome Build(FakeFileServer& server, install::ChangeSummary& summary) {
        StopRequest stop;
        WorkProgress progress;
        std::string tree = NewTree();
        ChangesOutcome outcome = Build(server, tree, summary, stop, progress);
        if (outcome == ChangesOutcome::Built) CHECK(install::PlaceVersionFolder(tree, versionFolder, staging));
        return outcome;
    }

    // What the run does on any doubt: the whole package, from an honest server, into
    // a tree of its own, checked against its signed digest, then named.
    void InstallWholePackage() {
        FakeFileServer honest(newPackage);
        DownloadRequest download;
        download.url = "http://server/2.02.cvz";
        download.targetPath = staging + "\\package.cvz";
        download.expectedSize = list.packageSize;
        StopRequest stop;
        WorkProgress progress;
        CHECK(DownloadPackage(honest, download, stop, progress).outcome == DownloadOutcome::Complete);
        install::UnpackJob unpack;
        unpack.packagePath = download.targetPath;
        unpack.sha256Text = release_encoding::EncodeHex(release_signature::Sha256(newPackage));
        unpack.targetFolder = NewTree();
        CHECK(install::UnpackSignedPackage(unpack, stop, progress) == install::UnpackOutcome::Completed);
        CHECK(install::PlaceVersionFolder(unpack.targetFolder, versionFolder, staging));
    }
};

}  // namespace

TEST_CASE(changed_files, one_changed_file_of_many_is_all_that_is_fetched_and_the_folder_is_the_whole_unpackings) {
    Releases releases(300, 17);
    FakeFileServer server(releases.newPackage);
    install::ChangeSummary summary;
    CHECK(releases.Build(server, summary) == ChangesOutcome::Built);
    CHECK_EQ(summary.copied, 299u);
    CHECK_EQ(summary.fetched, 1u);
    CHECK(Files(releases.versionFolder) == Files(releases.wholeUnpack));
    // The end of the package, its directory and one entry: under 5 % of it.
    CHECK(summary.bytesFetched * 20 < releases.newPackage.size());
    CHECK_EQ(server.requests, 3);
    // The installed version is only ever read.
    CHECK(Files(releases.installed).size() == 300);
}

TEST_CASE(changed_files, what_the_user_altered_or_deleted_is_fetched_and_a_list_that_is_not_the_packages_is_a_doubt) {
    struct Row {
        const char* what;
        void (*spoil)(Releases&);
        ChangesOutcome outcome;
        unsigned fetched;
    } rows[] = {
        {"an installed file altered", [](Releases& r) {
             scratch::WriteBytes(r.installed + "\\SKIN\\CORE\\part3.txt", "the user's own skin\n"); },
         ChangesOutcome::Built, 2},
        {"an installed file deleted", [](Releases& r) { file_system::RemoveFile(r.installed + "\\SKIN\\CORE\\part4.txt"); },
         ChangesOutcome::Built, 2},
        {"a list that does not list the package", [](Releases& r) { r.list.entries.pop_back(); }, ChangesOutcome::Doubt,
         0},
        {"a list whose digest of a file is not the package's", [](Releases& r) { r.list.entries[5].sha256[0] ^= 1; },
         ChangesOutcome::Doubt, 0},
        {"no room for the new folder", [](Releases& r) { r.list.packageSize += uint64_t(1) << 62; },
         ChangesOutcome::DiskFull, 0},
    };
    for (const Row& row : rows) {
        Releases releases(40, 17);
        row.spoil(releases);
        FakeFileServer server(releases.newPackage);
        install::ChangeSummary summary;
        ChangesOutcome outcome = releases.Build(server, summary);
        if (outcome != row.outcome || (outcome == ChangesOutcome::Built && summary.fetched != row.fetched)) {
            std::printf("    %s: outcome %d, fetched %u\n", row.what, static_cast<int>(outcome), summary.fetched);
            CHECK_EQ(std::string(row.what), std::string("as the table says"));
        }
        if (outcome == ChangesOutcome::Built) CHECK(Files(releases.versionFolder) == Files(releases.wholeUnpack));
        else CHECK(!scratch::Exists(releases.versionFolder));
    }
}

TEST_CASE(changed_files, a_hostile_range_server_never_puts_a_byte_in_a_version_folder_and_the_whole_package_installs) {
    struct Row {
        const char* what;
        void (*arrange)(Releases&, FakeFileServer&);
        ChangesOutcome outcome;
    } rows[] = {
        {"other bytes, with their valid CRC, for the fetched entry",
         [](Releases&, FakeFileServer& s) { s.served = Package(40, 17, "2.02", 99); }, ChangesOutcome::Doubt},
        {"the stop raised during the last range, which then completes",
         [](Releases&, FakeFileServer& s) {
             s.served = Package(40, 17, "2.02", 99);
             s.afterBody = [](int request, StopRequest& stop) { if (request == 3) stop.Request(); };
         },
         ChangesOutcome::Stopped},
        {"a listed file that the directory calls a folder",
         [](Releases& r, FakeFileServer& s) {
             s.served = PackageOf(40, [](int i) {
                 zip_builder::Entry entry = zip_builder::Named(PartName(i), SkinText(i, i == 17 ? "2.02" : ""));
                 if (i == 17) {
                     entry.data.clear();
                     entry.externalAttributes = ArchiveEntryInfo::kAttributeDirectory | 0x07;
                 }
                 return entry;
             }, r.newPackage.size());
         },
         ChangesOutcome::Doubt},
        {"a directory size that differs from the list",
         [](Releases&, FakeFileServer& s) {
             // One byte moved from one entry to its neighbour: the package as long as before.
             s.served = PackageOf(40, [](int i) {
                 std::string data = SkinText(i, i == 17 ? "2.02" : "");
                 if (i == 16) data.pop_back();
                 if (i == 17) data += "x";
                 return zip_builder::Named(PartName(i), data);
             });
         },
         ChangesOutcome::Doubt},
        {"a 206 for another offset", [](Releases&, FakeFileServer& s) { s.shift = 1; }, ChangesOutcome::Doubt},
        {"a server that sends the whole file for a range", [](Releases&, FakeFileServer& s) { s.ignoresRanges = true; },
         ChangesOutcome::Doubt},
        {"a leftover read-only file and a folder at listed paths (an honest server)",
         [](Releases& r, FakeFileServer&) {
             scratch::CreateFolder(r.versionFolder + "\\SKIN\\CORE");
             scratch::WriteBytes(r.versionFolder + "\\SKIN\\CORE\\part17.txt", "left by someone");
             file_system::SetAttributes(r.versionFolder + "\\SKIN\\CORE\\part17.txt", 0x01 | 0x02 | 0x04);
             scratch::CreateFolder(r.versionFolder + "\\SKIN\\CORE\\part3.txt\\inside");
         },
         ChangesOutcome::Built},
    };
    for (const Row& row : rows) {
        Releases releases(40, 17);
        FakeFileServer server(releases.newPackage);
        row.arrange(releases, server);
        // A forged package as long as the signed one, so that only its contents betray it.
        if (!server.served.empty()) CHECK_EQ(server.served.size(), releases.newPackage.size());
        auto installedBefore = Files(releases.installed);
        install::ChangeSummary summary;
        StopRequest stop;
        WorkProgress progress;
        std::string tree = releases.NewTree();
        ChangesOutcome outcome = releases.Build(server, tree, summary, stop, progress);
        if (outcome != row.outcome) {
            std::printf("    %s: outcome %d\n", row.what, static_cast<int>(outcome));
            CHECK_EQ(std::string(row.what), std::string("as the table says"));
        }
        if (outcome == ChangesOutcome::Built) {
            CHECK(install::PlaceVersionFolder(tree, releases.versionFolder, releases.staging));
        } else {
            // Whatever the changes left lies in the staging alone.
            CHECK(!scratch::Exists(releases.versionFolder));
            releases.InstallWholePackage();
        }
        CHECK(Files(releases.versionFolder) == Files(releases.wholeUnpack));
        CHECK(!IsReadOnly(releases.versionFolder + "\\SKIN\\CORE\\part17.txt"));
        CHECK(Files(releases.installed) == installedBefore);
    }
}

TEST_CASE(changed_files, a_slow_range_counts_each_piece_as_it_arrives) {
    Releases releases(40, 17);
    FakeFileServer server(releases.newPackage);
    server.pieceBytes = 100;
    StopRequest stop;
    WorkProgress progress;
    std::vector<uint64_t> seen;
    server.beforePiece = [&](int request) {
        if (request == 3) seen.push_back(progress.done);
    };
    install::ChangeSummary summary;
    CHECK(releases.Build(server, releases.NewTree(), summary, stop, progress) == ChangesOutcome::Built);
    // The changed entry's range, in pieces of 100 bytes: every piece moved the count.
    CHECK(seen.size() > 40);
    for (size_t i = 1; i < seen.size(); ++i) CHECK(seen[i] > seen[i - 1]);
    CHECK_EQ(progress.done.load(), progress.total.load());
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
