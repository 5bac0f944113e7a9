#include "app/install_paths.h"
#include "app/shell_folders.h"
#include "install/staging.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

bool AllExist(const std::vector<std::string>& folders, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (!test_support::FolderExists(folders[i])) return false;
    return true;
}

bool NoneExist(const std::vector<std::string>& folders, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (test_support::FolderExists(folders[i])) return false;
    return true;
}

}  // namespace

TEST_CASE(folder_tree, program_files_resolves_without_trailing_backslash) {
    CHECK_EQ(ProgramFilesRoot(), std::string("C:\\Program Files"));
}

TEST_CASE(folder_tree, a_clean_disk_gets_the_shared_folders_in_one_call_and_a_second_call_is_harmless) {
    // The root itself is missing too, as the per-user root is on a new profile.
    const std::string installRoot = "C:\\tree one";
    std::vector<std::string> shared = install_paths::SharedFolders(installRoot);
    CreateProductFolders(installRoot);
    CHECK(AllExist(shared, 0, shared.size()));
    CreateProductFolders(installRoot);
    CHECK(AllExist(shared, 0, shared.size()));
}

TEST_CASE(folder_tree, two_versions_share_the_company_and_product_folders) {
    const std::string installRoot = "C:\\tree two";
    CreateDirectoryA("C:\\tree two", nullptr);
    CreateProductFolders(installRoot);
    CHECK(install::MakeVersionTree(install_paths::VersionFolder(installRoot, "2.01")));
    CHECK(install::MakeVersionTree(install_paths::VersionFolder(installRoot, "2.02")));
    CHECK(AllExist(install_paths::FolderTree(installRoot, "2.01"), 0, 21));
    CHECK(AllExist(install_paths::FolderTree(installRoot, "2.02"), 5, 21));
}

TEST_CASE(folder_tree, a_version_with_invalid_characters_gets_no_folders_of_its_own) {
    const std::string installRoot = "C:\\tree three";
    CreateDirectoryA("C:\\tree three", nullptr);
    std::vector<std::string> tree = install_paths::FolderTree(installRoot, "2.0?");
    CreateProductFolders(installRoot);
    CHECK(!install::MakeVersionTree(install_paths::VersionFolder(installRoot, "2.0?")));
    CHECK(AllExist(tree, 0, 5));
    CHECK(NoneExist(tree, 5, 21));
}
