// Unpacking a downloaded package into a version folder, without any window.
#include "archive/archive_reader.h"
#include "install/unpack_package.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"

using zip_builder::Builder;
using zip_builder::Named;

namespace {

std::string PackageOf(std::initializer_list<zip_builder::Entry> entries) {
    Builder builder;
    for (const zip_builder::Entry& entry : entries) builder.Add(entry);
    return builder.Build();
}

}  // namespace

TEST_CASE(unpacking, every_entry_lands_in_the_target_in_order_and_the_package_goes) {
    scratch::Folder download, version;
    std::string package = download / "2.01.cvz";
    scratch::WriteBytes(package, PackageOf({Named("BIN\\Cubelet.exe", "suite"), Named("SKIN\\a.png", "png", 0),
                                            Named("readme.txt", std::string(50000, 'r'))}));
    ArchiveReader reader;
    std::vector<int> seen;
    int total = 0;
    install::UnpackResult result = install::UnpackPackage(reader, package, version.path(), [&](int index, int count) {
        seen.push_back(index);
        total = count;
    });
    CHECK(result == install::UnpackResult::Completed);
    CHECK(seen == (std::vector<int>{0, 1, 2}));
    CHECK_EQ(total, 3);
    CHECK_EQ(scratch::ReadBytes(version / "BIN\\Cubelet.exe"), std::string("suite"));
    CHECK_EQ(scratch::ReadBytes(version / "SKIN\\a.png"), std::string("png"));
    CHECK_EQ(scratch::ReadBytes(version / "readme.txt").size(), size_t(50000));
    CHECK(!scratch::IsFile(package));
    CHECK(reader.IsClosed());
}

TEST_CASE(unpacking, a_damaged_package_is_an_archive_error_the_reader_is_reset_and_the_package_goes) {
    scratch::Folder download, version;
    std::string package = download / "2.01.cvz";
    std::string bytes = PackageOf({Named("a.txt", "alpha")});
    scratch::WriteBytes(package, bytes.substr(0, bytes.size() - 10));  // the end record cut short
    ArchiveReader reader;
    install::UnpackResult result = install::UnpackPackage(reader, package, version.path(), nullptr);
    CHECK(result == install::UnpackResult::ArchiveError);
    CHECK(!scratch::IsFile(package));
    CHECK(reader.IsClosed());
    // The same reader serves the next package.
    scratch::WriteBytes(package, PackageOf({Named("b.txt", "beta")}));
    CHECK(install::UnpackPackage(reader, package, version.path(), nullptr) == install::UnpackResult::Completed);
    CHECK_EQ(scratch::ReadBytes(version / "b.txt"), std::string("beta"));
}

TEST_CASE(unpacking, a_missing_package_is_an_archive_error_not_a_crash) {
    scratch::Folder download, version;
    ArchiveReader reader;
    CHECK(install::UnpackPackage(reader, download / "absent.cvz", version.path(), nullptr) ==
          install::UnpackResult::ArchiveError);
}

TEST_CASE(unpacking, an_entry_the_reader_refuses_fails_the_package_and_later_entries_are_not_tried) {
    scratch::Folder download, version;
    std::string package = download / "2.01.cvz";
    scratch::WriteBytes(package, PackageOf({Named("first.txt", "1"), Named("..\\outside.txt", "x"),
                                            Named("BIN\\InitVL2.exe", "launcher")}));
    ArchiveReader reader;
    int tried = 0;
    install::UnpackResult result =
        install::UnpackPackage(reader, package, version.path(), [&](int, int) { ++tried; });
    CHECK(result == install::UnpackResult::EntryFailed);
    CHECK_EQ(tried, 2);
    CHECK(scratch::IsFile(version / "first.txt"));
    CHECK(!scratch::IsFile(version / "BIN\\InitVL2.exe"));
    CHECK(!scratch::IsFile(package));
    CHECK(reader.IsClosed());
}
