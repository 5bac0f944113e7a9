#include <windows.h>

#include "install/version_pruning.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

// A product folder with the given version folders (and the shared ones), pruned
// once as an install of `version` would.
struct Pruned {
    Pruned(const char* root, std::initializer_list<const char*> folders, const char* version) : base(root) {
        CreateDirectoryA(base.c_str(), nullptr);
        CreateDirectoryA((base + "\\Corvalen").c_str(), nullptr);
        CreateDirectoryA((base + "\\Corvalen\\Velmora2").c_str(), nullptr);
        for (const char* shared : {"IMAGE", "MEMO", "MYLINK"}) Make(shared);
        for (const char* folder : folders) Make(folder);
        test_support::WriteFile(base + "\\Corvalen\\Velmora2\\2000", "a file named like a version");
        install::PruneOldVersions(base, version);
    }
    void Make(const char* name) {
        std::string path = base + "\\Corvalen\\Velmora2\\" + name;
        CreateDirectoryA(path.c_str(), nullptr);
        test_support::WriteFile(path + "\\file.txt", name);
    }
    bool Has(const char* name) const { return test_support::FolderExists(base + "\\Corvalen\\Velmora2\\" + name); }
    bool SharedIntact() const { return Has("IMAGE") && Has("MEMO") && Has("MYLINK"); }
    std::string base;
};

}  // namespace

TEST_CASE(pruning, two_version_folders_are_kept) {
    Pruned p("C:\\prune two", {"2.00", "2.01"}, "2.01");
    CHECK(p.Has("2.00") && p.Has("2.01"));
    CHECK(p.SharedIntact());
}

TEST_CASE(pruning, with_three_the_lowest_goes) {
    Pruned p("C:\\prune three", {"2.00", "2.01", "2.02"}, "2.02");
    CHECK(!p.Has("2.00"));
    CHECK(p.Has("2.01") && p.Has("2.02"));
    CHECK(p.SharedIntact());
}

TEST_CASE(pruning, with_four_only_the_lowest_goes) {
    Pruned p("C:\\prune four", {"2.00", "2.01", "2.02", "2.03"}, "2.03");
    CHECK(!p.Has("2.00"));
    CHECK(p.Has("2.01") && p.Has("2.02") && p.Has("2.03"));
}

TEST_CASE(pruning, reinstalling_the_oldest_removes_nothing) {
    Pruned p("C:\\prune oldest", {"2.00", "2.01", "2.02"}, "2.00");
    CHECK(p.Has("2.00") && p.Has("2.01") && p.Has("2.02"));
}

TEST_CASE(pruning, every_folder_of_the_oldest_version_prefix_goes) {
    // "2.00a" and the tree folder "2.00" are one version: with three versions both go.
    Pruned p("C:\\prune prefix", {"2.00a", "2.00", "2.01", "2.02"}, "2.02");
    CHECK(!p.Has("2.00") && !p.Has("2.00a"));
    CHECK(p.Has("2.01") && p.Has("2.02"));
    // Two versions in three folders: all stay.
    Pruned q("C:\\prune prefix2", {"2.01a", "2.01", "2.02"}, "2.02");
    CHECK(q.Has("2.01a") && q.Has("2.01") && q.Has("2.02"));
}

TEST_CASE(pruning, long_versions_keep_the_current_and_the_previous_one_after_every_update) {
    const char* root = "C:\\prune long";
    Pruned first(root, {"2.00", "2.00a"}, "2.00a");
    Pruned second(root, {"2.01", "2.01a"}, "2.01a");
    CHECK(second.Has("2.00") && second.Has("2.00a") && second.Has("2.01a"));
    Pruned third(root, {"2.02", "2.02a"}, "2.02a");
    CHECK(!third.Has("2.00") && !third.Has("2.00a"));
    CHECK(third.Has("2.01") && third.Has("2.01a") && third.Has("2.02") && third.Has("2.02a"));
}

TEST_CASE(pruning, folders_not_starting_with_2_never_count) {
    Pruned p("C:\\prune other", {"1.90", "2.01", "2.02", "backup"}, "2.02");
    CHECK(p.Has("1.90") && p.Has("2.01") && p.Has("2.02") && p.Has("backup"));
    CHECK(p.SharedIntact());
}
