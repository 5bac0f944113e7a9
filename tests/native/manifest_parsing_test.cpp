#include "net/manifest.h"
#include "tests/check.h"

namespace {

UpdateManifest Parse(const std::string& body, bool* ok = nullptr) {
    UpdateManifest fields;
    bool accepted = ParseManifest(body, fields);
    if (ok) *ok = accepted;
    return fields;
}

}  // namespace

TEST_CASE(manifest_parsing, a_complete_manifest_fills_every_field) {
    bool ok = false;
    UpdateManifest m = Parse("version=2.01\ndate=20061231\ncomment=new skins\ndownload=http://h/v/2.01.cvz\n", &ok);
    CHECK(ok);
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.date, std::string("20061231"));
    CHECK_EQ(m.comment, std::string("new skins"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/v/2.01.cvz"));
}

TEST_CASE(manifest_parsing, the_last_line_without_a_line_break_is_not_read) {
    UpdateManifest m = Parse("version=2.01\ndownload=http://h/p.cvz");
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.downloadUrl, std::string(""));
    bool ok = false;
    CHECK_EQ(Parse("version=2.01", &ok).version, std::string(""));
    CHECK(ok);
}

TEST_CASE(manifest_parsing, leading_blank_lines_are_accepted) {
    bool ok = false;
    UpdateManifest m = Parse("\n\r\n  \nversion=2.01\ndownload=http://h/p\n", &ok);
    CHECK(ok);
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/p"));
}

TEST_CASE(manifest_parsing, blanks_around_the_equals_sign_keep_the_whole_line_as_the_version) {
    CHECK_EQ(Parse("version = 2.01\n").version, std::string("version = 2.01"));
}

TEST_CASE(manifest_parsing, the_key_text_is_removed_wherever_it_occurs) {
    CHECK_EQ(Parse("version=2\ndownload=http://h/download=x/p\n").downloadUrl, std::string("http://h/x/p"));
}

TEST_CASE(manifest_parsing, a_section_header_first_fails_and_in_the_middle_is_skipped) {
    bool ok = true;
    Parse("[update]\nversion=2.01\n", &ok);
    CHECK(!ok);
    UpdateManifest m = Parse("version=2.01\n[files]\ndownload=http://h/p\n", &ok);
    CHECK(ok);
    CHECK_EQ(m.downloadUrl, std::string("http://h/p"));
}

TEST_CASE(manifest_parsing, any_line_starting_with_vers_is_a_version_line) {
    CHECK_EQ(Parse("version=2.01\nversioning=on\n").version, std::string("versioning=on"));
}

TEST_CASE(manifest_parsing, crlf_line_ends_give_the_same_values) {
    UpdateManifest lf = Parse("version=2.01\ndate=1\ncomment=c\ndownload=http://h/p\n");
    UpdateManifest crlf = Parse("version=2.01\r\ndate=1\r\ncomment=c\r\ndownload=http://h/p\r\n");
    CHECK_EQ(crlf.version, lf.version);
    CHECK_EQ(crlf.date, lf.date);
    CHECK_EQ(crlf.comment, lf.comment);
    CHECK_EQ(crlf.downloadUrl, lf.downloadUrl);
}

TEST_CASE(manifest_parsing, a_later_line_overwrites_and_a_missing_kind_keeps_its_value) {
    UpdateManifest fields;
    fields.comment = "kept";
    CHECK(ParseManifest("version=1\nversion=2\n", fields));
    CHECK_EQ(fields.version, std::string("2"));
    CHECK_EQ(fields.comment, std::string("kept"));
}

TEST_CASE(manifest_parsing, a_body_that_is_not_a_manifest_changes_nothing) {
    UpdateManifest fields;
    fields.version = "old";
    CHECK(!ParseManifest("", fields));
    CHECK(!ParseManifest("   \r\n ", fields));
    CHECK(!ParseManifest("<html>not found</html>\nversion=9\n", fields));
    CHECK(!ParseManifest("Version=2.01\n", fields));
    CHECK_EQ(fields.version, std::string("old"));
}

TEST_CASE(manifest_parsing, unknown_and_short_lines_are_ignored) {
    UpdateManifest m = Parse("version=2.01\nver\nx=1\n\ndown\ndownload=http://h/p\n");
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/p"));
}

TEST_CASE(manifest_parsing, the_digest_and_signature_lines_are_read_without_disturbing_the_others) {
    UpdateManifest m = Parse(
        "version=2.01\r\nsha256=  AB01cd  \r\ndate=1\r\nsignature=c2ln==\r\ncomment=c\r\ndownload=http://h/p\r\n");
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.date, std::string("1"));
    CHECK_EQ(m.comment, std::string("c"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/p"));
    CHECK_EQ(m.sha256, std::string("AB01cd"));
    CHECK_EQ(m.signature, std::string("c2ln=="));
}

TEST_CASE(manifest_parsing, a_later_digest_or_signature_line_overwrites_the_earlier_one) {
    UpdateManifest m = Parse("version=2\nsha256=aa\nsignature=first\nsha256=bb\nsignature=second\n");
    CHECK_EQ(m.sha256, std::string("bb"));
    CHECK_EQ(m.signature, std::string("second"));
}

TEST_CASE(manifest_parsing, the_digest_and_signature_keys_are_removed_wherever_they_occur) {
    UpdateManifest m = Parse("version=2\nsha256=ab sha256=cd\nsignature=xy signature=zw\n");
    CHECK_EQ(m.sha256, std::string("ab cd"));
    CHECK_EQ(m.signature, std::string("xy zw"));
}

TEST_CASE(manifest_parsing, lines_are_classified_by_four_characters_for_the_new_kinds_too) {
    // "sha1=" is not a digest line, "signer=" is a signature line (whole text kept),
    // and a digest line never feeds the version or download fields.
    UpdateManifest m = Parse("version=2.01\nsha1=ff\nsigner=someone\ndownload=http://h/p\n");
    CHECK_EQ(m.sha256, std::string(""));
    CHECK_EQ(m.signature, std::string("signer=someone"));
    CHECK_EQ(m.version, std::string("2.01"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/p"));
    m = Parse("version=2.01\nsha256=ab\n");
    CHECK_EQ(m.sha256, std::string("ab"));
    m = Parse("version=2.01\nSHA256=ab\nSignature=cd\n");
    CHECK_EQ(m.sha256, std::string(""));
    CHECK_EQ(m.signature, std::string(""));
}

TEST_CASE(manifest_parsing, a_missing_digest_or_signature_line_keeps_the_earlier_value) {
    UpdateManifest fields;
    fields.sha256 = "kept-digest";
    fields.signature = "kept-signature";
    CHECK(ParseManifest("version=2\n", fields));
    CHECK_EQ(fields.sha256, std::string("kept-digest"));
    CHECK_EQ(fields.signature, std::string("kept-signature"));
    CHECK(!ParseManifest("<html>\nsha256=aa\n", fields));
    CHECK_EQ(fields.sha256, std::string("kept-digest"));
}

TEST_CASE(manifest_parsing, the_rollout_line_gives_the_percentage_and_anything_else_halts) {
    struct Row {
        const char* lines;  // after the version line
        int percentage;
    } rows[] = {
        {"", 100},                               // no line: every machine, as before rollouts
        {"rollout=0\n", 0},
        {"rollout=5\n", 5},
        {"rollout=100\n", 100},
        {"  rollout=  25 \r\n", 25},             // trimmed like every value
        {"rollout=050\n", 50},
        {"rollout=\n", 0},                       // typos halt
        {"rollout=101\n", 0},
        {"rollout=0100\n", 0},
        {"rollout=-5\n", 0},
        {"rollout=+5\n", 0},
        {"rollout=5%\n", 0},
        {"rollout=2 5\n", 0},
        {"rollout=five\n", 0},
        {"rollout=99999999999999999999\n", 0},
        {"rollback=1\n", 0},                     // "roll" makes it a rollout line, whole text kept
        {"Rollout=5\n", 100},                    // not a rollout line at all
        {"rollout=5\nrollout=60\n", 60},         // the later line wins
        {"rollout=60\nrollout=x\n", 0},
        {"rollout=60", 100},                     // no line break: not read
    };
    for (const Row& row : rows) {
        UpdateManifest m = Parse(std::string("version=2.02\ndownload=http://h/p\n") + row.lines);
        if (RolloutPercentage(m) != row.percentage)
            check::Fail(__FILE__, __LINE__, std::string("rollout of ") + check::Show(row.lines) + ": got " +
                                                check::Show(RolloutPercentage(m)));
        CHECK_EQ(m.version, std::string("2.02"));
    }
}

TEST_CASE(manifest_parsing, the_fallback_lines_fill_the_fallback_release_and_nothing_else) {
    UpdateManifest m = Parse(
        "version=2.02\r\ndate=20070201\r\ncomment=c\r\ndownload=http://h/2.02.cvz\r\nsha256=aa\r\nsignature=bb\r\n"
        "rollout=5\r\nfallback-version=2.01\r\nfallback-date=20070115\r\n"
        "fallback-download= http://h/download=x/2.01.cvz \r\nfallback-sha256=cc\r\nfallback-signature=dd\r\n");
    CHECK_EQ(m.version, std::string("2.02"));
    CHECK_EQ(m.date, std::string("20070201"));
    CHECK_EQ(m.downloadUrl, std::string("http://h/2.02.cvz"));
    CHECK_EQ(m.sha256, std::string("aa"));
    CHECK_EQ(m.signature, std::string("bb"));
    CHECK(HasFallback(m));
    CHECK_EQ(m.fallback.version, std::string("2.01"));
    CHECK_EQ(m.fallback.date, std::string("20070115"));
    // Only the line's own key goes: an address holding "download=" stays whole.
    CHECK_EQ(m.fallback.downloadUrl, std::string("http://h/download=x/2.01.cvz"));
    CHECK_EQ(m.fallback.sha256, std::string("cc"));
    CHECK_EQ(m.fallback.signature, std::string("dd"));
}

TEST_CASE(manifest_parsing, unknown_or_misspelt_fallback_lines_are_no_fallback) {
    const char* ignored[] = {"fallback=2.01\n", "fallback-comment=x\n", "fallback-version =2.01\n",
                             "Fallback-version=2.01\n", "fall\n"};
    for (const char* line : ignored) {
        UpdateManifest m = Parse(std::string("version=2.02\n") + line);
        if (HasFallback(m)) check::Fail(__FILE__, __LINE__, std::string("a fallback from ") + line);
        CHECK_EQ(m.version, std::string("2.02"));
    }
    // One line of the five is a fallback, whole or not: the decision refuses a broken one.
    CHECK(HasFallback(Parse("version=2.02\nfallback-sha256=cc\n")));
}
