// A release's signed file list: what it binds, and what it refuses even when signed.
#include <string>

#include "release/file_list.h"
#include "release/release_encoding.h"
#include "test_release_key.h"
#include "tests/check.h"
#include "cvztool/release_signing.h"

using file_list::ListCheck;

namespace {

const std::string kPackageDigest(32, '\x11');

release_signing::PrivateKey TestKey() {
    release_signing::PrivateKey key;
    std::string error;
    release_signing::ParsePrivateKeyPem(VL2_TEST_PRIVATE_KEY_PEM, key, error);
    return key;
}

file_list::FileList SampleList() {
    file_list::FileList list;
    list.version = "2.02";
    list.packageSha256 = kPackageDigest;
    list.packageSize = 123456;
    list.entries.push_back({"BIN\\", true, 0, ""});
    list.entries.push_back({"BIN\\Cubelet.exe", false, 4096, std::string(32, '\x22')});
    list.entries.push_back({"SKIN\\CORE\\\xB9\xD9\xC5\xC1.txt", false, 7, std::string(32, '\x33')});
    return list;
}

// `body` as signed by `key`: the form an attacker with the key could send.
std::string Signed(const std::string& body, const release_signing::PrivateKey& key = TestKey()) {
    return body + "signature=" +
           release_encoding::EncodeBase64(release_signing::SignMessage(key, file_list::SignedMessage(body))) + "\n";
}

ListCheck Read(const std::string& text, file_list::FileList& list) {
    return file_list::ReadList(text, release_signing::PublicKeyOf(TestKey()), "2.02",
                               release_encoding::EncodeHex(kPackageDigest), list);
}

}  // namespace

TEST_CASE(file_list, a_signed_list_reads_back_as_written_hangul_names_included) {
    std::string text = Signed(file_list::SignedText(SampleList()));
    file_list::FileList read;
    CHECK(Read(text, read) == ListCheck::ok);
    CHECK_EQ(file_list::SignedText(read), file_list::SignedText(SampleList()));
    CHECK_EQ(read.packageSize, uint64_t(123456));
    CHECK_EQ(read.entries[2].name, std::string("SKIN\\CORE\\\xB9\xD9\xC5\xC1.txt"));
}

TEST_CASE(file_list, a_list_of_thousands_of_files_signs_and_reads_back) {
    // Hundreds of kilobytes of lines: more than the crypto library takes in one expression.
    file_list::FileList big = SampleList();
    for (int i = 0; i < 5000; ++i)
        big.entries.push_back({"SKIN\\PARTS\\part" + std::to_string(i) + ".bin", false, 4096, std::string(32, '\x55')});
    file_list::FileList read;
    CHECK(Read(Signed(file_list::SignedText(big)), read) == ListCheck::ok);
    CHECK_EQ(read.entries.size(), big.entries.size());
}

TEST_CASE(file_list, a_list_is_refused_unless_signed_for_this_release_and_plain_in_every_line) {
    std::string body = file_list::SignedText(SampleList());
    release_signing::PrivateKey otherKey = release_signing::GeneratePrivateKey();
    file_list::FileList other = SampleList();
    other.version = "2.03";
    file_list::FileList otherPackage = SampleList();
    otherPackage.packageSha256 = std::string(32, '\x44');
    const std::string head = "velmora2-filelist 1\nversion=2.02\npackage-sha256=" +
                             release_encoding::EncodeHex(kPackageDigest) + "\npackage-size=123456\n";
    const std::string file = "F " + std::string(64, 'a') + " 7 ";
    struct Row {
        const char* what;
        std::string text;
        ListCheck expected;
    } rows[] = {
        {"signed by another key", Signed(body, otherKey), ListCheck::badSignature},
        {"a line added after signing", Signed(body) + "F " + std::string(64, 'b') + " 1 x\n", ListCheck::malformed},
        {"a byte changed after signing", Signed(body).replace(head.size() + 2, 1, "9"), ListCheck::badSignature},
        {"signed for another version", Signed(file_list::SignedText(other)), ListCheck::otherRelease},
        {"signed for another package", Signed(file_list::SignedText(otherPackage)), ListCheck::otherRelease},
        {"no signature line", body, ListCheck::malformed},
        {"no line break at the end", Signed(body).substr(0, Signed(body).size() - 1), ListCheck::malformed},
        {"another first line", Signed("velmora2-filelist 2" + body.substr(19)), ListCheck::malformed},
        {"a size with a leading zero", Signed(head + "F " + std::string(64, 'a') + " 07 x\n"), ListCheck::malformed},
        {"a size beyond 4 GB", Signed(head + "F " + std::string(64, 'a') + " 4294967296 x\n"), ListCheck::malformed},
        {"a digest of 63 digits", Signed(head + "F " + std::string(63, 'a') + " 7 xy\n"), ListCheck::malformed},
        {"a name that climbs", Signed(head + file + "..\\..\\Windows\\x.dll\n"), ListCheck::malformed},
        {"an absolute name", Signed(head + file + "\\Windows\\x.dll\n"), ListCheck::malformed},
        {"a drive", Signed(head + file + "C:x.dll\n"), ListCheck::malformed},
        {"a device", Signed(head + file + "BIN\\CON.txt\n"), ListCheck::malformed},
        // Windows drops a trailing dot or blank: "app.exe." and "app.exe" would be one file.
        {"a name ending in a dot", Signed(head + file + "BIN\\app.exe.\n"), ListCheck::malformed},
        {"a name ending in a blank", Signed(head + file + "BIN\\app.exe \n"), ListCheck::malformed},
        {"a folder ending in a dot", Signed(head + "D BIN.\\\n"), ListCheck::malformed},
        {"a name under a folder ending in a blank", Signed(head + file + "BIN \\app.exe\n"), ListCheck::malformed},
        {"a folder without its separator", Signed(head + "D BIN\n"), ListCheck::malformed},
        {"a file named like a folder", Signed(head + file + "BIN\\\n"), ListCheck::malformed},
        {"a line of another kind", Signed(head + "X whatever\n"), ListCheck::malformed},
    };
    for (const Row& row : rows) {
        file_list::FileList read;
        ListCheck got = Read(row.text, read);
        if (got != row.expected) {
            std::printf("    %s: %s\n", row.what, file_list::Describe(got));
            CHECK_EQ(std::string(row.what), std::string("refused as the table says"));
        }
        CHECK(read.entries.empty());
    }
}
