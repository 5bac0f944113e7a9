#include "app/install_paths.h"
#include "app/version_text.h"
#include "framework/reserved_names.h"
#include "tests/check.h"

TEST_CASE(install_paths, program_files_path_is_cleaned_in_the_documented_order) {
    CHECK_EQ(install_paths::CleanShellPath("  C:\\Program Files\\\\"), std::string("C:\\Program Files"));
    // Trailing blanks go after the backslashes, so a backslash before a blank stays.
    CHECK_EQ(install_paths::CleanShellPath("C:\\PF\\ "), std::string("C:\\PF\\"));
    CHECK_EQ(install_paths::CleanShellPath(""), std::string(""));
}

TEST_CASE(install_paths, folder_tree_has_the_21_rows_in_creation_order) {
    std::vector<std::string> tree = install_paths::FolderTree("C:\\PF", "2.01");
    CHECK_EQ(tree.size(), size_t(21));
    CHECK_EQ(tree[0], std::string("C:\\PF\\Corvalen"));
    CHECK_EQ(tree[1], std::string("C:\\PF\\Corvalen\\Velmora2"));
    CHECK_EQ(tree[4], std::string("C:\\PF\\Corvalen\\Velmora2\\MYLINK"));
    CHECK_EQ(tree[5], std::string("C:\\PF\\Corvalen\\Velmora2\\2.01"));
    CHECK_EQ(tree[11], std::string("C:\\PF\\Corvalen\\Velmora2\\2.01\\TEMP"));
    CHECK_EQ(tree[12], std::string("C:\\PF\\Corvalen\\Velmora2\\2.01\\SKIN\\CORE"));
    CHECK_EQ(tree[20], std::string("C:\\PF\\Corvalen\\Velmora2\\2.01\\SKIN\\PINBAR"));
    // Every row's parent comes before it.
    for (size_t i = 1; i < tree.size(); ++i) {
        std::string parent = tree[i].substr(0, tree[i].rfind('\\'));
        bool found = false;
        for (size_t j = 0; j < i; ++j) found = found || tree[j] == parent;
        CHECK(found || parent == "C:\\PF");
    }
}

TEST_CASE(install_paths, empty_program_files_puts_the_tree_at_the_drive_root) {
    CHECK_EQ(install_paths::FolderTree("", "2.01")[0], std::string("\\Corvalen"));
}

TEST_CASE(install_paths, commands_quote_the_program_path_so_a_blank_cannot_split_it) {
    CHECK_EQ(install_paths::SuiteCommand("C:\\Program Files", "2.09"),
             std::string("\"C:\\Program Files\\Corvalen\\Velmora2\\2.09\\BIN\\Cubelet.exe\" kqvwtzrnbpxyjdgfh"));
    CHECK_EQ(install_paths::AutoRunCommand(install_paths::StableLauncherPath("C:\\Users\\k m\\Programs")),
             std::string("\"C:\\Users\\k m\\Programs\\Corvalen\\Velmora2\\Velmora2.exe\""));
    CHECK_EQ(install_paths::UninstallCommand("C:\\Program Files"), std::string("\"C:\\Program Files\\Corvalen\\VL2Del.exe\""));
    // One package, one staged file, however the manifest spells its digest.
    CHECK_EQ(install_paths::StagedPackagePath("C:\\P", "00AB" + std::string(60, 'E')),
             install_paths::StagedPackagePath("C:\\P", "00ab" + std::string(60, 'e')));
    CHECK_EQ(install_paths::LauncherPath("C:\\P", "2.01"), std::string("C:\\P\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe"));
    CHECK_EQ(install_paths::UninstallerPath("C:\\P"), std::string("C:\\P\\Corvalen\\VL2Del.exe"));
}

TEST_CASE(version_text, older_compares_the_first_four_characters_as_text) {
    CHECK(version_text::IsOlder("1.10", "1.9"));
    CHECK(!version_text::IsOlder("2.10", "2.09"));
    CHECK(!version_text::IsOlder("2.01", "2.01"));
    CHECK(version_text::IsOlder("2.00", "2.01a"));
    // Only four characters count: 2.01b is not newer than 2.01a.
    CHECK(!version_text::IsOlder("2.01a", "2.01b"));
}

TEST_CASE(version_text, a_version_that_could_leave_the_product_folder_is_refused) {
    CHECK(version_text::IsPlainFileName("2.01"));
    CHECK(version_text::IsPlainFileName("2.01a"));
    CHECK(version_text::IsPlainFileName("2.0 beta"));
    CHECK(!version_text::IsPlainFileName(""));
    CHECK(!version_text::IsPlainFileName(".."));
    CHECK(!version_text::IsPlainFileName("."));
    CHECK(!version_text::IsPlainFileName("..\\..\\Windows"));
    CHECK(!version_text::IsPlainFileName("2/../x"));
    CHECK(!version_text::IsPlainFileName("C:x"));
    CHECK(!version_text::IsPlainFileName("2.0*"));
    CHECK(!version_text::IsPlainFileName("2.0|x"));
    CHECK(!version_text::IsPlainFileName("2.0\t"));
    CHECK(!version_text::IsPlainFileName(" 2.0"));
    CHECK(!version_text::IsPlainFileName("2.0\x01"));
    CHECK(!version_text::IsPlainFileName("2.01."));
    CHECK(!version_text::IsPlainFileName("~staging"));
}

TEST_CASE(version_text, a_device_name_is_refused_in_any_case_alone_or_with_an_extension) {
    // The same list the package reader refuses entries by.
    const char* devices[] = {"CON", "con", "Prn", "AUX", "NUL", "nul.txt", "NUL.2.01", "aux.", "COM1", "com9.cvz",
                             "Com0", "LPT1", "lpt9.x", "COM1 .cvz", "nul .txt", "CONIN$", "conout$.2.01",
                             "COM\xA9\xF6", "lpt\xA9\xF8.1"};
    for (const char* name : devices) {
        if (version_text::IsPlainFileName(name)) CHECK_EQ(std::string(name), std::string("refused"));
        CHECK(reserved_names::IsDeviceName(name, reserved_names::NameEncoding::SystemCodePage));
    }
    // Names that only contain or resemble a device name are ordinary names.
    const char* ordinary[] = {"COM10", "LPT", "COMX", "CONSOLE", "NULL", "xnul", "2.NUL", "2.01.COM1", "AUX1", "C0N",
                              "CONIN", "COM\xA9\xF9"};
    for (const char* name : ordinary) {
        if (!version_text::IsPlainFileName(name)) CHECK_EQ(std::string(name), std::string("accepted"));
        CHECK(!reserved_names::IsDeviceName(name, reserved_names::NameEncoding::SystemCodePage));
    }
}
