// Packages made the way an attacker would make them: every case must end, refuse
// what it must, extract the rest, and change nothing outside the target folder.
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "tests/check.h"
#include "tests/native/archive_test_support.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"

using archive_test::Noise;
using zip_builder::Builder;
using zip_builder::Entry;
using zip_builder::Named;

namespace {

constexpr int kNoException = 0;

// A package extracted one level below a folder that the test owns, so that
// whatever leaves the target lands where the test can see it.
struct Guarded {
    explicit Guarded(const std::string& bytes) {
        scratch::WriteBytes(package, bytes);
        scratch::CreateFolder(inner);
        before = Outside();
    }
    // Opens the package; the cause of the CZipException, or kNoException.
    int Open() {
        try {
            reader.Close(true);
            reader.Open(package.c_str(), ArchiveReader::OpenExisting, 0);
        } catch (const CZipException& e) {
            reader.Close(true);
            return e.cause;
        }
        return kNoException;
    }
    bool Extract(int index) {
        return reader.ExtractFile(index, inner.c_str(), true, nullptr, nullptr, nullptr, 65535);
    }
    // Extracts (or tests) one entry; the cause of the CZipException, or
    // kNoException. The reader is reset and reopened after an exception, as the
    // catchers in the installer and cvztool reset it.
    int Cause(int index, bool test = false) {
        try {
            test ? reader.TestFile(index) : Extract(index);
        } catch (const CZipException& e) {
            Open();
            return e.cause;
        }
        return kNoException;
    }
    std::string In(const std::string& name) const { return inner + "\\" + name; }
    // The folder above the target and the package's folder, with all they hold.
    std::string Outside() const { return scratch::Tree(outer.path(), inner) + scratch::Tree(source.path()); }

    scratch::Folder source;
    scratch::Folder outer;
    std::string package = source / "package.cvz";
    std::string inner = outer / "inner";
    std::string before;
    ArchiveReader reader;
};

// The package's bytes with the central header of `entry` repeated `times` times in
// place of the whole directory.
std::string RepeatCentralHeader(const Builder& b, std::string bytes, size_t headerLength, uint16_t times) {
    std::string header = bytes.substr(b.directoryOffset, headerLength);
    std::string directory;
    for (int i = 0; i < times; ++i) directory += header;
    std::string end = bytes.substr(b.endOffset);
    zip_builder::Set16(end, 8, times);
    zip_builder::Set16(end, 10, times);
    zip_builder::Set32(end, 12, static_cast<uint32_t>(directory.size()));
    return bytes.substr(0, b.directoryOffset) + directory + end;
}

}  // namespace

// Sizes and loops.

TEST_CASE(hostile_package, a_stored_entry_whose_sizes_disagree_fails_its_check_instead_of_hanging) {
    struct Sizes {
        uint32_t actual;
        uint32_t recorded;
        uint16_t flag;
    };
    // More compressed than uncompressed bytes spun for ever once the output space was
    // used up; the reverse is refused the same way, before anything is written.
    const Sizes cases[] = {{20000, 0, 0},
                           {100000, 65535, 0},
                           {10, 1000, 0},
                           {40000, 16384, ArchiveEntryInfo::kFlagDataDescriptor}};
    for (const Sizes& c : cases) {
        Builder b;
        Entry victim = Named("victim.bin", Noise(c.actual, 11), kMethodStored);
        victim.flag = c.flag;
        b.Add(victim);
        b.Add(Named("after.txt", "after"));
        std::string bytes = b.Build();
        if (!(c.flag & ArchiveEntryInfo::kFlagDataDescriptor)) zip_builder::Set32(bytes, b.localOffsets[0] + 22, c.recorded);
        zip_builder::Set32(bytes, b.directoryOffset + 24, c.recorded);
        Guarded g(bytes);
        CHECK_EQ(g.Open(), kNoException);
        CHECK_EQ(g.Cause(0), CZipException::ZipCauseCrcMismatch);
        CHECK(!scratch::Exists(g.In("victim.bin")));
        CHECK_EQ(g.Cause(0, true), CZipException::ZipCauseCrcMismatch);
        CHECK(g.Extract(1));
        CHECK_EQ(scratch::ReadBytes(g.In("after.txt")), std::string("after"));
        CHECK_EQ(g.Outside(), g.before);
    }
}

TEST_CASE(hostile_package, an_encrypted_stored_entry_is_measured_without_its_12_byte_header) {
    Builder b;
    Entry fine = Named("fine.bin", Noise(30000, 12), kMethodStored);
    fine.password = "pw";
    Entry off = Named("off.bin", Noise(30000, 13), kMethodStored);
    off.password = "pw";
    b.Add(fine);
    b.Add(off);
    std::string bytes = b.Build();
    // The second entry records its compressed size, header included, as uncompressed.
    zip_builder::Set32(bytes, b.localOffsets[1] + 22, 30012);
    zip_builder::Set32(bytes, b.directoryOffset + 46 + 8 + 24, 30012);
    Guarded g(bytes);
    CHECK_EQ(g.Open(), kNoException);
    g.reader.SetPassword("pw");
    CHECK(g.Extract(0));
    CHECK_EQ(scratch::ReadBytes(g.In("fine.bin")), Noise(30000, 12));
    CHECK_EQ(g.Cause(1), CZipException::ZipCauseCrcMismatch);
    CHECK(!scratch::Exists(g.In("off.bin")));
}

TEST_CASE(hostile_package, a_deflated_entry_longer_than_recorded_raises_instead_of_hanging) {
    for (uint32_t recorded : {0u, 65535u}) {
        Builder b;
        b.Add(Named("bomb.txt", std::string(300000, 'a') + Noise(30000, 14)));
        b.Add(Named("after.txt", "after"));
        std::string bytes = b.Build();
        zip_builder::Set32(bytes, b.localOffsets[0] + 22, recorded);
        zip_builder::Set32(bytes, b.directoryOffset + 24, recorded);
        Guarded g(bytes);
        CHECK_EQ(g.Open(), kNoException);
        CHECK_EQ(g.Cause(0), CZipException::ZipCauseBufError);
        CHECK(!scratch::Exists(g.In("bomb.txt")));
        CHECK(g.Extract(1));
        CHECK_EQ(g.Outside(), g.before);
    }
}

// Overlapping entries.

TEST_CASE(hostile_package, many_central_records_for_one_local_entry_are_refused_at_open) {
    Builder b;
    b.Add(Named("payload.bin", Noise(20000, 15), kMethodStored));
    std::string bytes = b.Build();
    Guarded g(RepeatCentralHeader(b, bytes, 46 + 11, 100));
    CHECK_EQ(g.Open(), CZipException::ZipCauseCorruptArchive);
    CHECK_EQ(g.Outside(), g.before);
    CHECK(!scratch::Exists(g.In("payload.bin")));
    // The same package with the record once is fine.
    Guarded once(RepeatCentralHeader(b, bytes, 46 + 11, 1));
    CHECK_EQ(once.Open(), kNoException);
    CHECK(once.Extract(0));
}

TEST_CASE(hostile_package, entries_overlapping_each_other_or_the_directory_are_refused_at_open) {
    Builder b;
    b.Add(Named("a.bin", Noise(5000, 16), kMethodStored));
    b.Add(Named("b.bin", Noise(5000, 17), kMethodStored));
    std::string bytes = b.Build();
    size_t second = b.directoryOffset + 46 + 5;
    // The second entry starts inside the first one's data.
    std::string inside = bytes;
    zip_builder::Set32(inside, second + 42, static_cast<uint32_t>(b.localOffsets[0] + 100));
    // The second entry's data runs into the directory.
    std::string intoDirectory = bytes;
    zip_builder::Set32(intoDirectory, b.localOffsets[1] + 18, 5100);
    zip_builder::Set32(intoDirectory, b.localOffsets[1] + 22, 5100);
    zip_builder::Set32(intoDirectory, second + 20, 5100);
    zip_builder::Set32(intoDirectory, second + 24, 5100);
    // The second entry's local header is said to stand inside the directory.
    std::string inDirectory = bytes;
    zip_builder::Set32(inDirectory, second + 42, static_cast<uint32_t>(b.directoryOffset + 10));
    for (const std::string* package : {&inside, &intoDirectory, &inDirectory}) {
        Guarded g(*package);
        CHECK_EQ(g.Open(), CZipException::ZipCauseCorruptArchive);
        CHECK_EQ(g.Outside(), g.before);
    }
    Guarded fine(bytes);
    CHECK_EQ(fine.Open(), kNoException);
}

TEST_CASE(hostile_package, an_entry_running_into_the_next_is_refused_when_it_is_read) {
    // A local extra field, known only once the entry is read, pushes the data of the
    // first entry over the second's header.
    Builder b;
    b.Add(Named("a.bin", Noise(3000, 18), kMethodStored));
    b.Add(Named("b.bin", Noise(3000, 19), kMethodStored));
    std::string bytes = b.Build();
    zip_builder::Set16(bytes, b.localOffsets[0] + 28, 40);
    Guarded g(bytes);
    CHECK_EQ(g.Open(), kNoException);
    CHECK_EQ(g.Cause(0), CZipException::ZipCauseCorruptArchive);
    CHECK(!scratch::Exists(g.In("a.bin")));
    CHECK(g.Extract(1));
    CHECK_EQ(scratch::ReadBytes(g.In("b.bin")), Noise(3000, 19));

    // A descriptor with its signature that ends inside the next entry's header.
    Builder d;
    Entry first = Named("c.bin", Noise(3000, 20));
    first.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    d.Add(first);
    d.Add(Named("d.bin", Noise(3000, 21)));
    std::string described = d.Build();
    size_t second = d.directoryOffset + 46 + 5;
    zip_builder::Set32(described, second + 42, static_cast<uint32_t>(d.localOffsets[1] - 4));
    Guarded h(described);
    CHECK_EQ(h.Open(), kNoException);
    CHECK_EQ(h.Cause(0), CZipException::ZipCauseCorruptArchive);
    CHECK(!scratch::Exists(h.In("c.bin")));
    CHECK_EQ(h.Outside(), h.before);
}
