#include "framework/text.h"
#include "tests/check.h"

TEST_CASE(text_helpers, trim_removes_blanks_tabs_and_line_ends_on_both_sides) {
    CHECK_EQ(text::Trim(" \t 2.01 \r\n"), std::string("2.01"));
    CHECK_EQ(text::Trim("   "), std::string(""));
    CHECK_EQ(text::TrimLeft("  a b "), std::string("a b "));
    CHECK_EQ(text::TrimRight("  a b \n"), std::string("  a b"));
}

TEST_CASE(text_helpers, trim_right_any_strips_only_the_trailing_run) {
    CHECK_EQ(text::TrimRightAny("C:\\Program Files\\\\\\", "\\"), std::string("C:\\Program Files"));
    CHECK_EQ(text::TrimRightAny("\\a\\b", "\\"), std::string("\\a\\b"));
}

TEST_CASE(text_helpers, replace_all_replaces_every_occurrence_not_only_the_first) {
    CHECK_EQ(text::ReplaceAll("download=http://h/download=x", "download=", ""), std::string("http://h/x"));
    CHECK_EQ(text::ReplaceAll("aaaa", "aa", "b"), std::string("bb"));
    CHECK_EQ(text::ReplaceAll("abc", "", "x"), std::string("abc"));
}

TEST_CASE(text_helpers, left_counts_bytes) {
    CHECK_EQ(text::Left("2.01a", 4), std::string("2.01"));
    CHECK_EQ(text::Left("2", 4), std::string("2"));
}

TEST_CASE(text_helpers, multibyte_comparison_orders_as_text_not_as_numbers) {
    CHECK(text::MbsCompare("1.10", "1.9") < 0);
    CHECK(text::MbsCompare("2.10", "2.09") > 0);
    CHECK_EQ(text::MbsCompare("2.01", "2.01"), 0);
    CHECK(text::MbsCompare("2.0", "2.01") < 0);
    // Double-byte characters compare by their lead byte first: 가 (B0A1) before 나 (B3AA).
    CHECK(text::MbsCompare("\xB0\xA1", "\xB3\xAA") < 0);
    CHECK(text::MbsCompare("\xB0\xA1", "a") > 0);
}

TEST_CASE(text_helpers, upper_case_leaves_double_byte_characters_alone) {
    CHECK_EQ(text::MbsUpper("initvl2.exe"), std::string("INITVL2.EXE"));
    // The trail byte 0x61 ('a') of a double-byte character must not be changed.
    CHECK_EQ(text::MbsUpper("\x81\x61x"), std::string("\x81\x61X"));
}

TEST_CASE(text_helpers, format_handles_long_results) {
    std::string big(5000, 'x');
    CHECK_EQ(text::Format("%s\\%s", big.c_str(), "y").size(), size_t(5002));
    CHECK_EQ(text::Format("%d-%02X", 7, 10), std::string("7-0A"));
}
