// Packages made the way an attacker would make them: every case must end, refuse
// what it must, extract the rest, and change nothing outside the target folder.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_paths.h"
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
        if (!(c.flag & ArchiveEntryInfo::kFlagDataDescriptor))
            zip_builder::Set32(bytes, b.localOffsets[0] + 22, c.recorded);
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

// Names.

TEST_CASE(hostile_package, a_zero_byte_in_a_name_is_refused_and_the_folder_above_keeps_its_attributes) {
    Builder b;
    Entry up = Named(std::string("..\0", 3), "", kMethodStored);
    up.externalAttributes = ArchiveEntryInfo::kAttributeDirectory | ArchiveEntryInfo::kAttributeReadOnly;
    b.Add(up);
    b.Add(Named(std::string("evil.txt\0.png", 13), "cut short"));
    b.Add(Named(std::string("sub\0/x.txt", 10), "cut short"));
    b.Add(Named("kept.txt", "kept"));
    Guarded g(b.Build());
    long targetBefore = scratch::AttributesOrMode(g.inner);
    CHECK_EQ(g.Open(), kNoException);
    CHECK(!g.Extract(0));
    CHECK(!g.Extract(1));
    CHECK(!g.Extract(2));
    CHECK(!g.reader.TestFile(1));
    CHECK(g.Extract(3));
    CHECK(!scratch::Exists(g.In("evil.txt")));
    CHECK(!scratch::Exists(g.In("sub")));
    CHECK(scratch::IsFile(g.In("kept.txt")));
    CHECK_EQ(scratch::AttributesOrMode(g.inner), targetBefore);
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(hostile_package, device_names_are_refused_in_any_component_and_case_and_like_names_extract) {
    const char* devices[] = {"CON",      "NUL.txt", "sub/aux.h",  "COM1",     "lpt9.log", "Prn.",
                             "con .txt", "CONIN$",  "a/b/Com3/c", "nul.tar.gz", "AUX/",
                             "COM\xA9\xF6.txt"};  // COM with a superscript one, code page 949
    const char* ordinary[] = {"CONSOLE.txt", "com10.txt", "icon.png", "nul_data.bin", "sub/auxiliary.h",
                              "LPT.txt",     "a.con",     "COMA.txt"};
    Builder b;
    for (const char* name : devices) b.Add(Named(name, "to a device"));
    for (const char* name : ordinary) b.Add(Named(name, "a file"));
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
    int index = 0;
    for (const char* name : devices) {
        bool extracted = g.Extract(index++);
        if (extracted) check::Fail(__FILE__, __LINE__, std::string("a device name extracted: ") + name);
    }
    for (const char* name : ordinary) {
        CHECK(g.Extract(index++));
        CHECK_EQ(scratch::ReadBytes(g.In(name)), std::string("a file"));
    }
    // Only the ordinary names were written (on Windows CON "exists" in every folder,
    // so the folder's listing is what tells).
    std::vector<std::string> written;
    for (const auto& item : std::filesystem::directory_iterator(scratch::Native(g.inner)))
        written.push_back(item.path().filename().string());
    std::sort(written.begin(), written.end());
    CHECK_EQ(written.size(), size_t(8));
    const char* expected[] = {"COMA.txt",  "CONSOLE.txt",  "LPT.txt", "a.con",
                              "com10.txt", "icon.png", "nul_data.bin", "sub"};
    for (size_t i = 0; i < written.size() && i < 8; ++i) CHECK_EQ(written[i], std::string(expected[i]));
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(hostile_package, an_over_long_name_component_fails_only_its_entry) {
    Builder b;
    b.Add(Named("dir/" + std::string(300, 'n') + ".txt", "long file"));
    b.Add(Named(std::string(256, 'd') + "/a.txt", "long folder"));
    Entry folder = Named(std::string(260, 'f') + "/", "", kMethodStored);
    folder.externalAttributes = ArchiveEntryInfo::kAttributeDirectory;
    b.Add(folder);
    b.Add(Named("dir/short.txt", "short"));
    b.Add(Named(std::string(200, 'm') + ".txt", "long but allowed"));
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
    CHECK(!g.Extract(0));
    CHECK(!g.Extract(1));
    CHECK(!g.Extract(2));
    CHECK(g.Extract(3));
    CHECK_EQ(scratch::ReadBytes(g.In("dir\\short.txt")), std::string("short"));
#if !defined(_WIN32)
    // On Windows the whole path would pass MAX_PATH; natively the component is fine.
    CHECK(g.Extract(4));
#endif
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(hostile_package, a_name_ending_with_a_separator_is_a_folder_whatever_its_attributes) {
    Builder b;
    b.Add(Named("data/", "", kMethodStored));  // the archive attribute only
    Entry bare = Named("bare\\", "junk that is not read", kMethodStored);
    bare.externalAttributes = 0;
    b.Add(bare);
    b.Add(Named("data/file.txt", "inside"));
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
    ArchiveEntryInfo info;
    CHECK(g.reader.GetEntryInfo(0, info));
    CHECK(info.IsFolder());
    CHECK(g.Extract(0));
    CHECK(g.Extract(1));
    CHECK(g.Extract(2));
    CHECK(g.reader.TestFile(1));
    CHECK(scratch::IsFolder(g.In("data")));
    CHECK(scratch::IsFolder(g.In("bare")));
    CHECK_EQ(scratch::ReadBytes(g.In("data\\file.txt")), std::string("inside"));
}

TEST_CASE(hostile_package, a_folder_entry_naming_the_target_itself_leaves_its_attributes) {
    Builder b;
    for (const char* name : {"./", ".\\.\\", "/"}) {
        Entry self = Named(name, "", kMethodStored);
        self.externalAttributes = ArchiveEntryInfo::kAttributeDirectory | ArchiveEntryInfo::kAttributeReadOnly;
        b.Add(self);
    }
    Entry nested = Named("x/y/", "", kMethodStored);
    nested.externalAttributes = ArchiveEntryInfo::kAttributeDirectory | ArchiveEntryInfo::kAttributeReadOnly;
    b.Add(nested);
    Guarded g(b.Build());
    long targetBefore = scratch::AttributesOrMode(g.inner);
    CHECK_EQ(g.Open(), kNoException);
    for (int i = 0; i < 3; ++i) CHECK(g.Extract(i));
    // Without full paths nothing of the folder entry is left but the target.
    CHECK(g.reader.ExtractFile(3, g.inner.c_str(), false));
    CHECK_EQ(scratch::AttributesOrMode(g.inner), targetBefore);
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(hostile_package, a_file_entry_without_a_file_name_fails_only_its_entry) {
    Builder b;
    for (const char* name : {"", ".", "x/.", "C:"}) b.Add(Named(name, "no name"));
    b.Add(Named("named.txt", "named"));
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
    for (int i = 0; i < 4; ++i) CHECK(!g.Extract(i));
    CHECK(!g.reader.TestFile(2));
    CHECK(g.Extract(4));
    CHECK_EQ(scratch::ReadBytes(g.In("named.txt")), std::string("named"));
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(hostile_package, a_utf8_name_is_split_as_utf8_and_converted_for_the_system) {
    Builder b;
    // 한/글.txt in UTF-8: read as code page 949, the syllable's last byte would be a
    // lead byte and take the slash as its trail byte.
    Entry korean = Named("\xED\x95\x9C/\xEA\xB8\x80.txt", "hangul");
    korean.flag = ArchiveEntryInfo::kFlagUtf8Name;
    b.Add(korean);
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
#if defined(_WIN32)
    const std::string held = "\xC7\xD1\\\xB1\xDB.txt";  // code page 949
#else
    const std::string held = "\xED\x95\x9C\\\xEA\xB8\x80.txt";
#endif
    ArchiveEntryInfo info;
    CHECK(g.reader.GetEntryInfo(0, info));
    CHECK_EQ(info.GetFileName(), held);
    // Under Wine this needs the Korean UTF-8 locale, which set-up generates.
    CHECK(g.Extract(0));
    CHECK_EQ(scratch::ReadBytes(g.In(held)), std::string("hangul"));
}

TEST_CASE(hostile_package, a_utf8_name_that_cannot_be_converted_fails_only_its_entry) {
    const std::string unconvertible[] = {
        "\xC0\xAE\xC0\xAE/escaped.txt",  // overlong dots: "../" to a lenient decoder
        "\xFF\xFE" "bad.txt",
        "\xED\xA0\x80" "surrogate.txt",
        "cut\xE2\x82",
    };
    Builder b;
    for (const std::string& name : unconvertible) {
        Entry e = Named(name, "x");
        e.flag = ArchiveEntryInfo::kFlagUtf8Name;
        b.Add(e);
    }
    Entry thai = Named("\xE0\xB8\x81.txt", "thai");  // a letter that code page 949 lacks
    thai.flag = ArchiveEntryInfo::kFlagUtf8Name;
    b.Add(thai);
    b.Add(Named("fine.txt", "fine"));
    Guarded g(b.Build());
    CHECK_EQ(g.Open(), kNoException);
    for (int i = 0; i < 4; ++i) CHECK(!g.Extract(i));
    CHECK(!g.reader.TestFile(0));
#if defined(_WIN32)
    CHECK(!g.Extract(4));
#else
    CHECK(g.Extract(4));  // natively the name is kept as UTF-8
#endif
    CHECK(g.Extract(5));
    CHECK(scratch::IsFile(g.In("fine.txt")));
    CHECK_EQ(g.Outside(), g.before);
}

TEST_CASE(archive_names, utf8_is_taken_only_in_its_shortest_valid_form) {
    CHECK(archive_paths::IsValidUtf8(""));
    CHECK(archive_paths::IsValidUtf8("plain.txt"));
    CHECK(archive_paths::IsValidUtf8("\xEC\x84\xA4"));           // U+C124
    CHECK(archive_paths::IsValidUtf8("\xF4\x8F\xBF\xBF"));       // U+10FFFF
    CHECK(!archive_paths::IsValidUtf8("\xC0\xAF"));              // overlong slash
    CHECK(!archive_paths::IsValidUtf8("\xE0\x80\xAE"));          // overlong dot
    CHECK(!archive_paths::IsValidUtf8("\xF4\x90\x80\x80"));      // above U+10FFFF
    CHECK(!archive_paths::IsValidUtf8("\xED\xBF\xBF"));          // a surrogate
    CHECK(!archive_paths::IsValidUtf8("\x80"));                  // a lone continuation
    CHECK(!archive_paths::IsValidUtf8("\xEC\x84"));              // cut short
    CHECK(!archive_paths::IsValidUtf8("\xEC\x84" "A"));          // continuation missing
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
