// Naming a staged version: the folder that was there before (a damaged version that
// a repair replaces) goes, but what the suite kept in its data folders comes along,
// and a naming that fails leaves the old folder exactly as it was.
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "install/staging.h"
#include "tests/check.h"
#include "tests/native/scratch.h"

namespace {

using Tree = std::map<std::string, std::string>;

// Every file below `root`, relative path to bytes.
Tree FilesIn(const std::string& root) {
    Tree files;
    if (!scratch::IsFolder(root)) return files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(scratch::Native(root))) {
        if (!item.is_regular_file()) continue;
        std::string path = item.path().lexically_relative(scratch::Native(root)).generic_string();
        files[path] = scratch::ReadBytes(root + "\\" + path);
    }
    return files;
}

void Plant(const std::string& root, const Tree& files) {
    for (const auto& file : files) {
        std::filesystem::path native = scratch::Native(root + "\\" + file.first);
        std::filesystem::create_directories(native.parent_path());
        scratch::WriteBytes(root + "\\" + file.first, file.second);
    }
}

}  // namespace

TEST_CASE(staging, a_replaced_version_folder_hands_on_what_the_suite_kept_and_a_failed_naming_changes_nothing) {
    const Tree damaged = {{"BIN/Cubelet.exe", "torn"},
                          {"SKIN/CORE/bar.png", "old skin"},
                          {"FAVORITE/links.dat", "the user's favourites"},
                          {"RESULT/2026/day.txt", "a result in a folder of its own"},
                          {"SUGGEST/words.txt", "the user's words"},
                          {"SUGGEST/default.txt", "the user's edit of a file the package also has"}};
    const Tree package = {{"BIN/Cubelet.exe", "whole"},
                          {"SKIN/CORE/bar.png", "new skin"},
                          {"SUGGEST/default.txt", "the package's"}};
    const Tree repaired = {{"BIN/Cubelet.exe", "whole"},
                           {"SKIN/CORE/bar.png", "new skin"},
                           {"FAVORITE/links.dat", "the user's favourites"},
                           {"RESULT/2026/day.txt", "a result in a folder of its own"},
                           {"SUGGEST/words.txt", "the user's words"},
                           {"SUGGEST/default.txt", "the package's"}};
    struct Row {
        const char* what;
        bool folderThere;
        // What goes wrong before the naming, if anything.
        void (*spoil)(const std::string& tree);
        bool placed;
        const Tree* expected;
    } rows[] = {
        {"a damaged version is replaced, the suite's data handed on", true, nullptr, true, &repaired},
        {"no folder there: the staged tree is named", false, nullptr, true, &package},
        {"a data file that cannot be moved: the folder stays as it was", true,
         [](const std::string& tree) {
             // SUGGEST as a file in the new tree: nothing can be moved into it, after
             // FAVORITE and RESULT were.
             std::filesystem::remove_all(scratch::Native(tree + "\\SUGGEST"));
             scratch::WriteBytes(tree + "\\SUGGEST", "in the way");
         },
         false, &damaged},
        {"a tree that is gone: the folder stays as it was", true,
         [](const std::string& tree) { std::filesystem::remove_all(scratch::Native(tree)); }, false, &damaged},
    };
    for (const Row& row : rows) {
        scratch::Folder folder;
        std::string staging = folder / "~staging", versionFolder = folder / "2.01";
        scratch::CreateFolder(staging);
        std::string tree = install::UnusedPath(staging, "new");
        CHECK(install::MakeVersionTree(tree));
        Plant(tree, package);
        if (row.folderThere) Plant(versionFolder, damaged);
        if (row.spoil) row.spoil(tree);
        bool placed = install::PlaceVersionFolder(tree, versionFolder, staging);
        if (placed != row.placed || FilesIn(versionFolder) != *row.expected) {
            std::printf("    %s: placed %d, %zu files\n", row.what, placed, FilesIn(versionFolder).size());
            CHECK_EQ(std::string(row.what), std::string("as the table says"));
        }
    }
}
