// Which version folders an install removes, decided from folder names alone.
#include "install/version_pruning.h"
#include "tests/check.h"

using install::VersionFoldersToPrune;
using Names = std::vector<std::string>;

TEST_CASE(pruning_choice, two_versions_and_the_shared_folders_are_all_kept) {
    CHECK(VersionFoldersToPrune({"IMAGE", "MEMO", "MYLINK", "2.00", "2.01"}, "2.01").empty());
}

TEST_CASE(pruning_choice, with_three_versions_the_lowest_prefix_goes_whatever_the_listing_order) {
    CHECK(VersionFoldersToPrune({"2.02", "2.00", "2.01"}, "2.02") == Names{"2.00"});
    CHECK(VersionFoldersToPrune({"2.01", "2.02", "2.00", "MEMO"}, "2.02") == Names{"2.00"});
}

TEST_CASE(pruning_choice, prefixes_compare_as_text_so_2_10_is_older_than_2_9) {
    CHECK(VersionFoldersToPrune({"2.9", "2.10", "2.11"}, "2.11") == Names{"2.10"});
}

TEST_CASE(pruning_choice, reinstalling_the_oldest_version_removes_nothing) {
    CHECK(VersionFoldersToPrune({"2.00", "2.01", "2.02"}, "2.00").empty());
}

TEST_CASE(pruning_choice, names_not_beginning_with_2_and_empty_names_never_count) {
    CHECK(VersionFoldersToPrune({"", "1.90", "backup", "2.01", "2.02"}, "2.02").empty());
}

TEST_CASE(pruning_choice, versions_are_counted_by_prefix_so_a_long_version_and_its_tree_are_one) {
    // After 2.00a and 2.01a: four folders, two versions; nothing goes.
    CHECK(VersionFoldersToPrune({"2.00", "2.00a", "2.01", "2.01a"}, "2.01a").empty());
    // After 2.02a the whole of 2.00 goes, its tree folder and its package folder.
    CHECK(VersionFoldersToPrune({"2.00", "2.00a", "2.01", "2.01a", "2.02", "2.02a"}, "2.02a") ==
          (Names{"2.00", "2.00a"}));
}

TEST_CASE(pruning_choice, the_folder_just_installed_is_never_chosen_even_when_its_version_is_oldest) {
    CHECK(VersionFoldersToPrune({"2.00", "2.00a", "2.01", "2.02"}, "2.00a") == Names{"2.00"});
}

TEST_CASE(pruning_choice, a_folder_that_a_pointer_starts_is_never_removed) {
    // An old autostart value or a shortcut still names 2.00's launcher.
    CHECK(VersionFoldersToPrune({"2.00", "2.01", "2.02"}, "2.02", {"2.00"}).empty());
    CHECK(VersionFoldersToPrune({"2.00", "2.00a", "2.01", "2.02"}, "2.02", {"2.00A"}) == Names{"2.00"});
}

TEST_CASE(pruning_choice, a_pointer_names_the_version_folder_its_target_lies_in) {
    const std::string product = "C:\\Users\\a\\Programs\\Corvalen\\Velmora2";
    struct Row {
        const char* target;
        const char* version;
    } rows[] = {
        {"\"C:\\Users\\a\\Programs\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe\"", "2.01"},
        {"c:\\users\\A\\programs\\corvalen\\velmora2\\2.01a\\BIN\\InitVL2.exe", "2.01a"},
        {"C:\\Users\\a\\Programs\\Corvalen\\Velmora2\\Velmora2.exe", ""},
        {"C:\\Program Files\\Corvalen\\Velmora2\\2.00\\BIN\\InitVL2.exe", ""},
        {"", ""},
    };
    for (const auto& row : rows) CHECK_EQ(install::VersionNamedBy(row.target, product), std::string(row.version));
}

TEST_CASE(pruning_choice, the_whole_versions_come_newest_first) {
    Names whole = install::WholeVersionsNewestFirst({"IMAGE", "2.00", "2.10", "2.09", "~staging", "2.02"},
                                                    [](const std::string& name) { return name != "2.09"; });
    CHECK(whole == (Names{"2.10", "2.02", "2.00"}));
}

TEST_CASE(pruning_choice, the_stable_launcher_starts_the_recorded_version_or_else_the_newest_it_finds) {
    Names folders = {"IMAGE", "2.01", "2.03", "2.02", "~staging"};
    // A path that leaves the folder may well lead to a launcher: it must still not be taken.
    auto hasLauncher = [](const std::string& name) { return name == "2.01" || name == "2.02" || name == "..\\2.01"; };
    struct Row {
        const char* recorded;
        const char* started;
    } rows[] = {
        {"2.01", "2.01"},
        // Recorded but vanished (2.04) or without a launcher (2.03): the newest that has one.
        {"2.04", "2.02"},
        {"2.03", "2.02"},
        {"", "2.02"},
        // A record that would leave the product folder starts nothing it names.
        {"..\\2.01", "2.02"},
    };
    for (const Row& row : rows) CHECK_EQ(install::VersionToLaunch(row.recorded, folders, hasLauncher), std::string(row.started));
    CHECK_EQ(install::VersionToLaunch("2.01", {"IMAGE"}, [](const std::string&) { return false; }), std::string());
}
