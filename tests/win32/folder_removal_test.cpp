#include <windows.h>

#include "install/folder_removal.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

void MakeTree(const std::string& root) {
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\BIN").c_str(), nullptr);
    CreateDirectoryA((root + "\\BIN\\hidden").c_str(), nullptr);
    test_support::WriteFile(root + "\\BIN\\a.exe", "a");
    test_support::WriteFile(root + "\\BIN\\hidden\\b.txt", "b");
    test_support::WriteFile(root + "\\readonly.txt", "r");
    SetFileAttributesA((root + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((root + "\\BIN\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace

TEST_CASE(folder_removal, a_nine_character_path_is_refused_and_ten_proceeds) {
    CreateDirectoryA("C:\\Temp", nullptr);
    CreateDirectoryA("C:\\Temp\\x", nullptr);
    test_support::WriteFile("C:\\Temp\\x\\keep.txt", "k");
    CHECK_EQ(RemoveFolderTree("C:\\Temp\\x"), 0);
    CHECK(test_support::FileExists("C:\\Temp\\x\\keep.txt"));
    CHECK_EQ(RemoveFolderTree(""), 0);
    CreateDirectoryA("C:\\Temp\\xy", nullptr);
    test_support::WriteFile("C:\\Temp\\xy\\go.txt", "g");
    CHECK_EQ(RemoveFolderTree("C:\\Temp\\xy"), 1);
    CHECK(!test_support::FolderExists("C:\\Temp\\xy"));
}

TEST_CASE(folder_removal, read_only_files_and_hidden_folders_go_with_the_tree) {
    MakeTree("C:\\removal one");
    CHECK_EQ(RemoveFolderTree("C:\\removal one"), 1);
    CHECK(!test_support::FolderExists("C:\\removal one"));
}

TEST_CASE(folder_removal, a_trailing_backslash_removes_the_same_tree) {
    MakeTree("C:\\removal two");
    CHECK_EQ(RemoveFolderTree("C:\\removal two\\"), 1);
    CHECK(!test_support::FolderExists("C:\\removal two"));
}

TEST_CASE(folder_removal, a_missing_folder_still_counts_as_run) {
    CHECK_EQ(RemoveFolderTree("C:\\no such folder at all"), 1);
}

TEST_CASE(file_exists, only_files_at_the_exact_path_count) {
    CreateDirectoryA("C:\\links", nullptr);
    CHECK(!FileExists("C:\\links"));
    test_support::WriteFile("C:\\links\\Velmora2.lnk.bak", "bak");
    CHECK(!FileExists("C:\\links\\Velmora2.lnk"));
    test_support::WriteFile("C:\\links\\Velmora2.lnk", "lnk");
    CHECK(FileExists("C:\\links\\Velmora2.lnk"));
    CHECK(!FileExists("C:\\links\\velmora2.LNK"));
    CreateDirectoryA("C:\\links\\folder.lnk", nullptr);
    CHECK(!FileExists("C:\\links\\folder.lnk"));
}
