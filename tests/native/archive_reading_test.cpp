// Opening archives: the end record search, the central directory and its checks.
#include "archive/archive_reader.h"
#include "tests/check.h"
#include "tests/native/scratch.h"
#include "tests/native/zip_builder.h"

using zip_builder::Builder;
using zip_builder::Entry;
using zip_builder::Named;

namespace {

constexpr int kOpened = 0;

// Opens `bytes` as an archive; returns the cause of the CZipException, or kOpened.
int OpenCause(ArchiveReader& reader, const scratch::Folder& folder, const std::string& bytes,
              std::string* fileName = nullptr) {
    std::string path = folder / "package.cvz";
    reader.Close(true);  // the open archive denies writing to its file on Windows
    scratch::WriteBytes(path, bytes);
    try {
        reader.Open(path.c_str(), ArchiveReader::OpenExisting, 0);
    } catch (const CZipException& e) {
        if (fileName) *fileName = e.fileName;
        reader.Close(true);
        return e.cause;
    }
    return kOpened;
}

}  // namespace

TEST_CASE(archive_reading, an_empty_archive_opens_with_no_entries) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    CHECK_EQ(OpenCause(reader, folder, b.Build()), kOpened);
    CHECK_EQ(reader.GetCount(), kOpened);
    ArchiveEntryInfo info;
    CHECK(!reader.GetEntryInfo(0, info));
    reader.Close();
    CHECK(reader.IsClosed());
}

TEST_CASE(archive_reading, no_end_record_signature_is_end_record_missing_with_the_path) {
    scratch::Folder folder;
    ArchiveReader reader;
    std::string name;
    CHECK_EQ(OpenCause(reader, folder, "", &name), CZipException::ZipCauseEndRecordMissing);
    CHECK_EQ(name, folder / "package.cvz");
    CHECK_EQ(OpenCause(reader, folder, std::string(70000, 'x')), CZipException::ZipCauseEndRecordMissing);
    // A signature farther back than the longest comment allows is not searched for.
    Builder b;
    b.Add(Named("a.txt", "a"));
    CHECK_EQ(OpenCause(reader, folder, b.Build() + std::string(65536, ' ')), CZipException::ZipCauseEndRecordMissing);
}

TEST_CASE(archive_reading, a_signature_closer_than_22_bytes_to_the_end_is_corrupt) {
    scratch::Folder folder;
    ArchiveReader reader;
    CHECK_EQ(OpenCause(reader, folder, std::string(100, 'x') + "PK\x05\x06" + std::string(10, '\0')),
             CZipException::ZipCauseCorruptArchive);
}

TEST_CASE(archive_reading, a_signature_across_the_seam_of_two_search_chunks_is_found) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("a.txt", "alpha"));
    // The record starts 32770 bytes before the end: its signature spans the seam.
    std::string bytes = b.Build("", std::string(32770 - 22, 'c'));
    CHECK_EQ(bytes.size() - b.endOffset, size_t(32770));
    CHECK_EQ(OpenCause(reader, folder, bytes), kOpened);
    CHECK_EQ(reader.GetCount(), 1);
    // And one whose signature lies wholly in the second chunk.
    bytes = b.Build("", std::string(40000, 'c'));
    CHECK_EQ(OpenCause(reader, folder, bytes), kOpened);
    CHECK_EQ(reader.GetCount(), 1);
}

TEST_CASE(archive_reading, foreign_data_in_front_is_skipped_through_bytes_before_archive) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("one.txt", "first entry"));
    b.Add(Named("two.txt", std::string(5000, 'z')));
    CHECK_EQ(OpenCause(reader, folder, b.Build(std::string(1000, 'S'))), kOpened);
    CHECK_EQ(reader.GetCount(), 2);
    scratch::Folder out;
    CHECK(reader.ExtractFile(0, out.path().c_str()));
    CHECK(reader.ExtractFile(1, out.path().c_str()));
    CHECK_EQ(scratch::ReadBytes(out / "one.txt"), std::string("first entry"));
    CHECK_EQ(scratch::ReadBytes(out / "two.txt"), std::string(5000, 'z'));
}

TEST_CASE(archive_reading, directory_size_and_entry_count_must_both_be_zero_or_both_not) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("a.txt", "a"));
    std::string bytes = b.Build();
    std::string noSize = bytes;
    zip_builder::Set32(noSize, b.endOffset + 12, 0);
    zip_builder::Set32(noSize, b.endOffset + 16, static_cast<uint32_t>(b.endOffset));
    CHECK_EQ(OpenCause(reader, folder, noSize), CZipException::ZipCauseCorruptArchive);
    std::string noCount = bytes;
    zip_builder::Set16(noCount, b.endOffset + 10, 0);
    CHECK_EQ(OpenCause(reader, folder, noCount), CZipException::ZipCauseCorruptArchive);
}

TEST_CASE(archive_reading, a_directory_that_would_end_after_the_end_record_is_corrupt) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("a.txt", "a"));
    std::string bytes = b.Build();
    // An offset that wraps around in 32 bits must not pass the check.
    zip_builder::Set32(bytes, b.endOffset + 16, 0xFFFFFFF0u);
    CHECK_EQ(OpenCause(reader, folder, bytes), CZipException::ZipCauseCorruptArchive);
}

TEST_CASE(archive_reading, a_bad_central_signature_or_short_directory_is_corrupt) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("a.txt", "a"));
    std::string bytes = b.Build();
    std::string badSignature = bytes;
    badSignature[b.directoryOffset] = 'X';
    CHECK_EQ(OpenCause(reader, folder, badSignature), CZipException::ZipCauseCorruptArchive);
    std::string moreEntries = bytes;
    zip_builder::Set16(moreEntries, b.endOffset + 10, 2);
    CHECK_EQ(OpenCause(reader, folder, moreEntries), CZipException::ZipCauseCorruptArchive);
}

TEST_CASE(archive_reading, forward_slashes_read_as_backslashes_and_code_page_bytes_stay) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("BIN/SKIN/a.png", "x"));
    b.Add(Named("\xBC\xB3\xC4\xA1/\xC6\xC4\xC0\xCF.txt", "y"));  // 설치/파일.txt in code page 949
    CHECK_EQ(OpenCause(reader, folder, b.Build()), kOpened);
    ArchiveEntryInfo info;
    CHECK(reader.GetEntryInfo(0, info));
    CHECK_EQ(info.GetFileName(), std::string("BIN\\SKIN\\a.png"));
    CHECK(reader.GetEntryInfo(1, info));
    CHECK_EQ(info.GetFileName(), std::string("\xBC\xB3\xC4\xA1\\\xC6\xC4\xC0\xCF.txt"));
    CHECK_EQ(info.HeaderSize(), 46u + 13u);
}

TEST_CASE(archive_reading, an_index_beyond_the_entries_is_refused_even_where_it_wraps_in_16_bits) {
    scratch::Folder folder;
    ArchiveReader reader;
    Builder b;
    b.Add(Named("a.txt", "a"));
    b.Add(Named("b.txt", "b"));
    CHECK_EQ(OpenCause(reader, folder, b.Build()), kOpened);
    ArchiveEntryInfo info;
    CHECK(reader.GetEntryInfo(1, info));
    CHECK_EQ(info.GetFileName(), std::string("b.txt"));
    CHECK(!reader.GetEntryInfo(2, info));
    CHECK(!reader.GetEntryInfo(-1, info));
    // 65536 and 65537 are 0 and 1 once cut to 16 bits.
    CHECK(!reader.GetEntryInfo(65536, info));
    CHECK(!reader.GetEntryInfo(65537, info));
    CHECK(!reader.GetEntryInfo(-65535, info));
    scratch::Folder out;
    CHECK(!reader.ExtractFile(65536, out.path().c_str()));
    CHECK(!reader.TestFile(65537));
    CHECK(!scratch::IsFile(out / "a.txt"));
    CHECK(!scratch::IsFile(out / "b.txt"));
}

TEST_CASE(archive_reading, a_missing_file_is_a_file_error_not_an_archive_error) {
    scratch::Folder folder;
    ArchiveReader reader;
    bool fileError = false;
    try {
        reader.Open((folder / "absent.cvz").c_str(), ArchiveReader::OpenExisting, 0);
    } catch (const FileException& e) {
        fileError = e.cause == FileException::fileNotFound;
    }
    CHECK(fileError);
    reader.Close(true);
}

TEST_CASE(archive_reading, a_reader_is_reused_after_close_and_after_a_failed_open) {
    scratch::Folder folder;
    ArchiveReader reader;
    CHECK_EQ(OpenCause(reader, folder, "not an archive at all"), CZipException::ZipCauseEndRecordMissing);
    Builder b;
    b.Add(Named("a.txt", "a"));
    CHECK_EQ(OpenCause(reader, folder, b.Build()), kOpened);
    CHECK_EQ(reader.GetCount(), 1);
    reader.Close();
    ArchiveEntryInfo info;
    CHECK(!reader.GetEntryInfo(0, info));
    Builder two;
    two.Add(Named("a.txt", "a"));
    two.Add(Named("b.txt", "b"));
    CHECK_EQ(OpenCause(reader, folder, two.Build()), kOpened);
    CHECK_EQ(reader.GetCount(), 2);
}

TEST_CASE(archive_errors, causes_follow_the_table_and_unknown_codes_are_generic) {
    CHECK_EQ(CZipException::CauseFromCode(3), CZipException::ZipCauseGeneric);
    CHECK_EQ(CZipException::CauseFromCode(Z_STREAM_END), CZipException::ZipCauseStreamEnd);
    CHECK_EQ(CZipException::CauseFromCode(Z_NEED_DICT), CZipException::ZipCauseNeedDict);
    CHECK_EQ(CZipException::CauseFromCode(Z_DATA_ERROR), CZipException::ZipCauseDataError);
    CHECK_EQ(CZipException::CauseFromCode(Z_BUF_ERROR), CZipException::ZipCauseBufError);
    CHECK_EQ(CZipException::CauseFromCode(Z_VERSION_ERROR), CZipException::ZipCauseVersionError);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kCorruptArchive), CZipException::ZipCauseCorruptArchive);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kCrcMismatch), CZipException::ZipCauseCrcMismatch);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kReserved), CZipException::ZipCauseReserved16);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kBadPassword), CZipException::ZipCauseBadPassword);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kEndRecordMissing),
             CZipException::ZipCauseEndRecordMissing);
    CHECK_EQ(CZipException::CauseFromCode(CZipException::kEndRecordMissing - 1), CZipException::ZipCauseGeneric);
}

TEST_CASE(archive_errors, the_causes_keep_the_numbers_that_catchers_and_cvztool_report) {
    // Catchers compare the cause as a number and cvztool prints it: the published
    // numbering is part of the interface.
    CHECK_EQ(int(CZipException::ZipCauseGeneric), 1);
    CHECK_EQ(int(CZipException::ZipCauseDataError), 6);
    CHECK_EQ(int(CZipException::ZipCauseBufError), 8);
    CHECK_EQ(int(CZipException::ZipCauseCorruptArchive), 10);
    CHECK_EQ(int(CZipException::ZipCauseCrcMismatch), 11);
    CHECK_EQ(int(CZipException::ZipCauseBadPassword), 17);
    CHECK_EQ(int(CZipException::ZipCauseEndRecordMissing), 18);
}
