#include <windows.h>

#include <algorithm>

#include "install/process_finder.h"
#include "tests/check.h"

namespace {

// A finder over a list the test chooses, to check the name rules alone.
struct ListedProcesses : ProcessFinder {
    void Set(std::vector<std::string> names) {
        Clear();
        for (size_t i = 0; i < names.size(); ++i) {
            processNames.push_back(names[i]);
            processIds.push_back(static_cast<DWORD>(100 + i));
        }
    }
};

using Processes = std::vector<std::pair<std::string, DWORD>>;

// Every process either way of listing finds, as name and id.
struct Listing : ProcessEnumerator {
    Processes found;
    bool OnProcess(const char* name, DWORD processId) override {
        found.emplace_back(name, processId);
        return true;
    }
    static Processes BySystemQuery() {
        Listing listing;
        CHECK(listing.EnumerateWithSystemQuery());
        return listing.found;
    }
    static Processes ByToolHelp() {
        Listing listing;
        listing.EnumerateWithToolHelp();
        return listing.found;
    }
};

}  // namespace

TEST_CASE(process_finder, the_system_query_lists_what_tool_help_lists_in_the_same_order) {
    // A process of the prefix may start or end between the two listings: the two
    // must agree at least once in a few tries.
    bool same = false;
    for (int attempt = 0; attempt < 5 && !same; ++attempt) {
        Processes query = Listing::BySystemQuery();
        Processes toolHelp = Listing::ByToolHelp();
        CHECK(toolHelp.size() > 1);
        same = query == toolHelp;
    }
    CHECK(same);
    Processes query = Listing::BySystemQuery();
    auto self = std::find_if(query.begin(), query.end(), [](const Processes::value_type& process) {
        return process.second == GetCurrentProcessId();
    });
    CHECK(self != query.end() && self->first == "windows_tests.exe");
}

TEST_CASE(process_finder, the_running_test_program_is_listed_with_its_own_id) {
    ProcessFinder finder;
    CHECK(!finder.processNames.empty());
    CHECK_EQ(finder.processNames.size(), finder.processIds.size());
    CHECK_EQ(finder.FindProcessId("windows_tests"), GetCurrentProcessId());
}

TEST_CASE(process_finder, the_whole_file_name_must_match_without_regard_to_case) {
    ListedProcesses finder;
    finder.Set({"C:\\Program Files\\Corvalen\\Velmora2\\2.01\\BIN\\initvl2.exe"});
    CHECK_EQ(finder.FindProcessId("InitVL2"), DWORD(100));
    finder.Set({"InitVL2.exe"});
    CHECK_EQ(finder.FindProcessId("InitVL2"), DWORD(100));
    finder.Set({"InitVL2Setup.exe", "C:\\x\\MyInitVL2.exe"});
    CHECK_EQ(finder.FindProcessId("InitVL2"), DWORD(0));
    finder.Set({"InitVL2.exe"});
    CHECK_EQ(finder.FindProcessId("InitVL2.exe"), DWORD(0));
}

TEST_CASE(process_finder, the_first_match_wins_and_an_empty_list_finds_nothing) {
    ListedProcesses finder;
    finder.Set({"a.exe", "INITVL2.EXE", "C:\\b\\initvl2.exe"});
    CHECK_EQ(finder.FindProcessId("InitVL2"), DWORD(101));
    finder.Set({});
    CHECK_EQ(finder.FindProcessId("InitVL2"), DWORD(0));
}

