// Unpacking a downloaded package into the new version's folder in the staging,
// without any window: only the signed package, through the handle that was hashed,
// and nothing more once the stop request has come.
#include "install/unpack_package.h"
#include "release/release_encoding.h"
#include "release/release_signature.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"

using install::UnpackOutcome;
using zip_builder::Builder;
using zip_builder::Named;

namespace {

std::string PackageOf(std::initializer_list<zip_builder::Entry> entries) {
    Builder builder;
    for (const zip_builder::Entry& entry : entries) builder.Add(entry);
    return builder.Build();
}

std::string DigestText(const std::string& bytes) {
    return release_encoding::EncodeHex(release_signature::Sha256(bytes));
}

struct Unpacked {
    UnpackOutcome outcome;
    uint64_t done, total;
};

Unpacked Unpack(const std::string& package, const std::string& signedBytes, const std::string& target,
                uint64_t room = UINT64_MAX, bool stopAtOnce = false) {
    install::UnpackJob job;
    job.packagePath = package;
    job.sha256Text = DigestText(signedBytes);
    job.targetFolder = target;
    job.roomOnDisk = [room] { return room; };
    StopRequest stop;
    if (stopAtOnce) stop.Request();
    WorkProgress progress;
    UnpackOutcome outcome = install::UnpackSignedPackage(job, stop, progress);
    return {outcome, progress.done, progress.total};
}

}  // namespace

TEST_CASE(unpacking, every_entry_of_the_signed_package_lands_in_the_target_and_the_package_goes) {
    scratch::Folder download, version;
    std::string package = download / "2.01.cvz";
    std::string bytes = PackageOf({Named("BIN\\Cubelet.exe", "suite"), Named("SKIN\\a.png", "png", 0),
                                   Named("readme.txt", std::string(50000, 'r'))});
    scratch::WriteBytes(package, bytes);
    Unpacked result = Unpack(package, bytes, version.path());
    CHECK(result.outcome == UnpackOutcome::Completed);
    CHECK_EQ(result.done, 3u);
    CHECK_EQ(result.total, 3u);
    CHECK_EQ(scratch::ReadBytes(version / "BIN\\Cubelet.exe"), std::string("suite"));
    CHECK_EQ(scratch::ReadBytes(version / "SKIN\\a.png"), std::string("png"));
    CHECK_EQ(scratch::ReadBytes(version / "readme.txt").size(), size_t(50000));
    CHECK(!scratch::IsFile(package));
}

TEST_CASE(unpacking, anything_but_the_signed_package_whole_leaves_no_entry_and_no_package) {
    std::string good = PackageOf({Named("first.txt", "1"), Named("BIN\\InitVL2.exe", "launcher")});
    std::string refused = PackageOf({Named("first.txt", "1"), Named("..\\outside.txt", "x"),
                                     Named("BIN\\InitVL2.exe", "launcher")});
    struct Row {
        const char* what;
        std::string served, signedFor;
        uint64_t room;
        bool stopAtOnce;
        UnpackOutcome outcome;
        bool firstEntryLands;  // the entry before the one that failed
    } rows[] = {
        {"bytes that are not the signed package's", good + "x", good, UINT64_MAX, false, UnpackOutcome::NotVerified,
         false},
        {"a damaged package (its end cut short)", good.substr(0, good.size() - 10), good.substr(0, good.size() - 10),
         UINT64_MAX, false, UnpackOutcome::Failed, false},
        {"no room for what it holds", good, good, 5, false, UnpackOutcome::DiskFull, false},
        {"the stop request first", good, good, UINT64_MAX, true, UnpackOutcome::Stopped, false},
        {"an entry the reader refuses: later entries are not tried", refused, refused, UINT64_MAX, false,
         UnpackOutcome::Failed, true},
    };
    for (const Row& row : rows) {
        scratch::Folder download, version;
        std::string package = download / "2.01.cvz";
        scratch::WriteBytes(package, row.served);
        Unpacked result = Unpack(package, row.signedFor, version.path(), row.room, row.stopAtOnce);
        if (result.outcome != row.outcome) CHECK_EQ(std::string(row.what), std::string("as the row says"));
        CHECK_EQ(scratch::IsFile(version / "first.txt"), row.firstEntryLands);
        CHECK(!scratch::IsFile(version / "BIN\\InitVL2.exe"));
        CHECK(!scratch::IsFile(package));
    }
}

TEST_CASE(unpacking, a_missing_package_fails_without_a_crash) {
    scratch::Folder download, version;
    CHECK(Unpack(download / "absent.cvz", "", version.path()).outcome == UnpackOutcome::Failed);
}
