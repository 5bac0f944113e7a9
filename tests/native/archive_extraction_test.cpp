// Extracting entries: data, folders, names, checks, and what stays on disk.
#include <ctime>

#include "archive/archive_reader.h"
#include "tests/check.h"
#include "tests/native/archive_test_support.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"

using zip_builder::Builder;
using zip_builder::Entry;
using zip_builder::Named;
using archive_test::Noise;
using archive_test::Opened;

TEST_CASE(archive_extraction, stored_and_deflated_entries_come_out_byte_for_byte) {
    Builder b;
    b.Add(Named("stored.bin", Noise(70000, 1), kMethodStored));
    b.Add(Named("deflated.txt", std::string(200000, 'a') + Noise(1000, 2)));
    b.Add(Named("noise.bin", Noise(100000, 3)));
    Opened o(b.Build());
    for (int i = 0; i < 3; ++i) CHECK(o.Extract(i));
    CHECK_EQ(scratch::ReadBytes(o.target / "stored.bin"), Noise(70000, 1));
    CHECK_EQ(scratch::ReadBytes(o.target / "deflated.txt"), std::string(200000, 'a') + Noise(1000, 2));
    CHECK_EQ(scratch::ReadBytes(o.target / "noise.bin"), Noise(100000, 3));
}

TEST_CASE(archive_extraction, zero_length_and_exact_multiple_stored_entries) {
    Builder b;
    b.Add(Named("empty.txt", "", kMethodStored));
    b.Add(Named("empty-deflated.txt", "", kMethodDeflated));
    b.Add(Named("three.bin", Noise(300, 4), kMethodStored));
    Opened o(b.Build());
    CHECK(o.Extract(0));
    CHECK(o.Extract(1));
    CHECK(o.Extract(2, true, 100));
    CHECK(scratch::IsFile(o.target / "empty.txt"));
    CHECK_EQ(scratch::ReadBytes(o.target / "empty.txt"), std::string());
    CHECK_EQ(scratch::ReadBytes(o.target / "empty-deflated.txt"), std::string());
    CHECK_EQ(scratch::ReadBytes(o.target / "three.bin"), Noise(300, 4));
}

TEST_CASE(archive_extraction, nested_folder_entries_are_created_without_reading_data) {
    Builder b;
    Entry folder = Named("SKIN/CORE/", "", kMethodStored);
    folder.externalAttributes = ArchiveEntryInfo::kAttributeDirectory;
    b.Add(folder);
    Opened o(b.Build());
    CHECK(o.Extract(0));
    CHECK(scratch::IsFolder(o.target / "SKIN"));
    CHECK(scratch::IsFolder(o.target / "SKIN\\CORE"));
}

TEST_CASE(archive_extraction, stored_folders_are_recreated_or_dropped_by_full_path) {
    Builder b;
    b.Add(Named("BIN/SKIN/a.txt", "deep"));
    Opened o(b.Build());
    CHECK(o.Extract(0, true));
    CHECK_EQ(scratch::ReadBytes(o.target / "BIN\\SKIN\\a.txt"), std::string("deep"));
    CHECK(o.Extract(0, false));
    CHECK_EQ(scratch::ReadBytes(o.target / "a.txt"), std::string("deep"));
}

TEST_CASE(archive_extraction, drive_letters_and_leading_backslashes_stay_under_the_target) {
    Builder b;
    b.Add(Named("C:\\rooted\\a.txt", "drive"));
    b.Add(Named("\\\\lead\\b.txt", "lead"));
    Opened o(b.Build());
    CHECK(o.Extract(0));
    CHECK(o.Extract(1));
    CHECK_EQ(scratch::ReadBytes(o.target / "rooted\\a.txt"), std::string("drive"));
    CHECK_EQ(scratch::ReadBytes(o.target / "lead\\b.txt"), std::string("lead"));
}

TEST_CASE(archive_extraction, names_that_climb_out_of_the_target_are_refused) {
    Builder b;
    b.Add(Named("../escaped.txt", "x"));
    b.Add(Named("BIN\\..\\..\\escaped2.txt", "x"));
    b.Add(Named("a/ .. /escaped3.txt", "x"));
    b.Add(Named("fine/./kept.txt", "ok"));
    Opened o(b.Build());
    // Extract one level down, so that anything escaping lands in a folder we own.
    std::string inner = o.target / "inner";
    for (int i = 0; i < 3; ++i) CHECK(!o.reader.ExtractFile(i, inner.c_str()));
    CHECK(o.reader.ExtractFile(3, inner.c_str()));
    CHECK(!scratch::IsFile(o.target / "escaped.txt"));
    CHECK(!scratch::IsFile(o.target / "escaped2.txt"));
    CHECK(!scratch::IsFile(o.target / "inner\\a\\escaped3.txt"));
    CHECK(scratch::IsFile(o.target / "inner\\fine\\kept.txt"));
    // A refused entry leaves the reader idle: the next one still extracts.
    CHECK(o.reader.ExtractFile(3, inner.c_str()));
}

TEST_CASE(archive_extraction, a_name_too_long_for_the_platform_fails_only_that_entry) {
    Builder b;
    b.Add(Named(std::string(5000, 'n') + ".txt", "x"));
    b.Add(Named("short.txt", "fine"));
    Opened o(b.Build());
    CHECK(!o.Extract(0));
    CHECK(o.Extract(1));
}

TEST_CASE(archive_extraction, corrupt_deflate_data_raises_and_leaves_no_file) {
    Builder b;
    b.Add(Named("victim.exe", Noise(20000, 5) + std::string(20000, 'q')));
    std::string bytes = b.Build();
    bytes[b.localOffsets[0] + 30 + 10 + 100] ^= 0x55;
    Opened o(bytes);
    int cause = o.ExtractCause(0);
    CHECK(cause == CZipException::ZipCauseDataError || cause == CZipException::ZipCauseBufError ||
          cause == CZipException::ZipCauseCrcMismatch);
    CHECK(!scratch::IsFile(o.target / "victim.exe"));
}

TEST_CASE(archive_extraction, a_crc_mismatch_raises_and_leaves_no_file) {
    Builder b;
    b.Add(Named("victim.exe", "the data"));
    std::string bytes = b.Build();
    uint32_t wrong = zip_builder::Crc("the data") ^ 1;
    zip_builder::Set32(bytes, b.localOffsets[0] + 14, wrong);
    zip_builder::Set32(bytes, b.directoryOffset + 16, wrong);
    Opened o(bytes);
    CHECK_EQ(o.ExtractCause(0), CZipException::ZipCauseCrcMismatch);
    CHECK(!scratch::IsFile(o.target / "victim.exe"));
}

TEST_CASE(archive_extraction, a_local_header_unlike_the_central_one_fails_at_extraction_not_open) {
    Builder b;
    b.Add(Named("a.txt", "alpha"));
    b.Add(Named("b.txt", "beta"));
    std::string bytes = b.Build();
    std::string method = bytes;
    zip_builder::Set16(method, b.localOffsets[0] + 8, kMethodStored);
    Opened byMethod(method);
    CHECK_EQ(byMethod.reader.GetCount(), 2);
    CHECK_EQ(byMethod.ExtractCause(0), CZipException::ZipCauseCorruptArchive);
    std::string nameLength = bytes;
    zip_builder::Set16(nameLength, b.localOffsets[1] + 26, 4);
    Opened byName(nameLength);
    CHECK(byName.Extract(0));
    CHECK_EQ(byName.ExtractCause(1), CZipException::ZipCauseCorruptArchive);
}

TEST_CASE(archive_extraction, data_descriptors_with_and_without_signature_are_checked) {
    Builder b;
    Entry signed_ = Named("signed.txt", std::string(3000, 's'));
    signed_.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    Entry bare = Named("bare.txt", std::string(3000, 'b'));
    bare.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    bare.descriptorSignature = false;
    b.Add(signed_);
    b.Add(bare);
    Opened o(b.Build());
    CHECK(o.Extract(0));
    CHECK(o.Extract(1));
    CHECK_EQ(scratch::ReadBytes(o.target / "bare.txt"), std::string(3000, 'b'));
}

TEST_CASE(archive_extraction, a_descriptor_unlike_the_central_header_is_corrupt) {
    Builder b;
    Entry e = Named("d.txt", "descriptor");
    e.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    b.Add(e);
    std::string bytes = b.Build();
    size_t descriptor = b.directoryOffset - 16;
    zip_builder::Set32(bytes, descriptor + 12, 999);
    Opened o(bytes);
    CHECK_EQ(o.ExtractCause(0), CZipException::ZipCauseCorruptArchive);
    CHECK(!scratch::IsFile(o.target / "d.txt"));
}

TEST_CASE(archive_extraction, a_descriptor_after_unread_final_deflate_bytes_is_found) {
    // Stored deflate blocks, flushed before the end: all output is produced by the
    // first 16384-byte read, and the stream's last bytes fall into a second read.
    std::string data = Noise(16379, 6);
    std::string compressed = zip_builder::Deflate(data, 0, true);
    CHECK(compressed.size() > 16384);
    Builder b;
    Entry e = Named("tail.bin", data);
    e.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    e.compressed = compressed;
    b.Add(e);
    b.Add(Named("next.txt", "after"));
    Opened o(b.Build());
    CHECK(o.Extract(0));
    CHECK(o.Extract(1));
    CHECK_EQ(scratch::ReadBytes(o.target / "tail.bin"), data);
}

TEST_CASE(archive_extraction, the_last_write_time_is_the_stored_dos_time_as_local_time) {
    Builder b;
    b.Add(Named("timed.txt", "t"));
    Opened o(b.Build());
    CHECK(o.Extract(0));
    struct tm expected = {};
    expected.tm_year = 2006 - 1900;
    expected.tm_mon = 11;
    expected.tm_mday = 31;
    expected.tm_hour = 12;
    expected.tm_min = 34;
    expected.tm_sec = 56;
    expected.tm_isdst = -1;
    CHECK_EQ(scratch::LastWriteTime(o.target / "timed.txt"), mktime(&expected));
}

TEST_CASE(archive_extraction, extracting_the_same_index_twice_overwrites) {
    Builder b;
    b.Add(Named("twice.txt", "content"));
    Opened o(b.Build());
    CHECK(o.Extract(0));
    scratch::WriteBytes(o.target / "twice.txt", "changed by hand, longer than before");
    CHECK(o.Extract(0));
    CHECK_EQ(scratch::ReadBytes(o.target / "twice.txt"), std::string("content"));
}

TEST_CASE(archive_extraction, encrypted_entries_need_the_password) {
    Builder b;
    Entry e = Named("secret.txt", "hidden words");
    e.password = "pw";
    b.Add(e);
    Entry d = Named("secret2.txt", "more hidden words");
    d.password = "pw";
    d.flag = ArchiveEntryInfo::kFlagDataDescriptor;
    b.Add(d);
    Opened o(b.Build());
    CHECK(!o.Extract(0));  // no password set: passed over
    CHECK(!scratch::IsFile(o.target / "secret.txt"));
    o.reader.SetPassword("pw");
    CHECK(o.Extract(0));
    CHECK(o.Extract(1));
    CHECK_EQ(scratch::ReadBytes(o.target / "secret.txt"), std::string("hidden words"));
    CHECK_EQ(scratch::ReadBytes(o.target / "secret2.txt"), std::string("more hidden words"));
    o.reader.SetPassword("wrong");
    CHECK_EQ(o.ExtractCause(0), CZipException::ZipCauseBadPassword);
}

TEST_CASE(archive_extraction, after_an_error_close_with_after_exception_makes_the_reader_usable_again) {
    Builder b;
    b.Add(Named("bad.txt", Noise(5000, 7)));
    b.Add(Named("good.txt", "good"));
    std::string bytes = b.Build();
    bytes[b.localOffsets[0] + 30 + 7 + 50] ^= 0x0F;
    Opened o(bytes);
    bool raised = false;
    try {
        o.Extract(0);
    } catch (const CZipException&) {
        raised = true;
    }
    CHECK(raised);
    // The entry is still open: nothing else extracts until the reset.
    CHECK(!o.Extract(1));
    o.reader.Close(true);
    CHECK(o.reader.IsClosed());
    o.reader.Open((o.source / "package.cvz").c_str(), ArchiveReader::OpenExisting, 0);
    CHECK(o.Extract(1));
    CHECK_EQ(scratch::ReadBytes(o.target / "good.txt"), std::string("good"));
}

TEST_CASE(archive_extraction, a_file_where_a_folder_is_needed_is_a_file_error) {
    Builder b;
    b.Add(Named("BIN/a.txt", "x"));
    Opened o(b.Build());
    scratch::WriteBytes(o.target / "BIN", "a file in the way");
    bool fileError = false;
    try {
        o.Extract(0);
    } catch (const FileException&) {
        fileError = true;
    }
    CHECK(fileError);
    o.reader.Close(true);
}

TEST_CASE(archive_extraction, a_callback_can_stop_the_copy_and_nothing_incomplete_stays) {
    Builder b;
    b.Add(Named("big.bin", Noise(300000, 8)));
    Opened o(b.Build());
    struct Counter {
        static bool Stop(unsigned total, unsigned done, void* data) {
            *static_cast<unsigned*>(data) = total;
            return done < 65535;
        }
    };
    unsigned total = 0;
    CHECK(!o.reader.ExtractFile(0, o.target.path().c_str(), true, nullptr, Counter::Stop, &total, 65535));
    CHECK_EQ(total, 46u + 7u);
    CHECK(!scratch::IsFile(o.target / "big.bin"));
    CHECK(o.Extract(0));
}
