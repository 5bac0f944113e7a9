// libFuzzer target: any bytes as a package, opened and every entry extracted into a
// target folder, as the installer would. Errors must be clean exceptions or false
// results; every input must end (libFuzzer's -timeout catches one that does not);
// and after each input nothing outside the target may have changed: no file or
// folder created, removed or rewritten, and no attribute or mode of the folders above
// it. Run with -max_len of at least 65536, so that entries span several reads.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "archive/archive_reader.h"

namespace {

namespace fs = std::filesystem;

struct Item {
    mode_t mode;
    off_t size;
    long long modified;  // nanoseconds
    ino_t inode;
    bool operator==(const Item& o) const {
        return mode == o.mode && size == o.size && modified == o.modified && inode == o.inode;
    }
    bool operator!=(const Item& o) const { return !(*this == o); }
};
using Listing = std::map<std::string, Item>;

// The folders the target lies in: the base holds the package and the tree
// "above/middle/near/target"; each folder above the target holds a file of its own.
struct Places {
    std::string base = "/tmp/vl2-fuzz-" + std::to_string(getpid());
    std::string package = base + "/in.cvz";
    std::string above = base + "/above";
    std::string target = above + "/middle/near/target";
};

const Places& Paths() {
    static const Places places;
    return places;
}

Item Describe(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return Item{0, -1, -1, 0};
    return Item{st.st_mode, st.st_size, static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
                st.st_ino};
}

// Everything in and under the base except the package and what lies under the
// target; the target itself is listed by its mode only, since extraction changes its
// times.
Listing Outside() {
    const Places& p = Paths();
    Listing listing;
    std::error_code ignored;
    listing[p.base] = Describe(p.base);
    for (fs::recursive_directory_iterator it(p.base, ignored), end; it != end; it.increment(ignored)) {
        std::string path = it->path().string();
        if (path == p.package) continue;
        Item item = Describe(path);
        if (path == p.target) {
            it.disable_recursion_pending();
            item = Item{item.mode, 0, 0, item.inode};
        }
        listing[path] = item;
    }
    return listing;
}

void ClearTarget() {
    // Entries may leave read-only files and folders behind.
    const std::string& target = Paths().target;
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(target, ignored), end; it != end; it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const fs::directory_entry& entry : fs::directory_iterator(target, ignored))
        fs::remove_all(entry.path(), ignored);
}

const Listing& Before() {
    static const Listing before = [] {
        const Places& p = Paths();
        std::error_code ignored;
        fs::remove_all(p.base, ignored);
        fs::create_directories(p.target);
        if (FILE* f = std::fopen(p.package.c_str(), "wb")) std::fclose(f);
        for (const std::string& folder : {p.above, p.above + "/middle", p.above + "/middle/near"}) {
            if (FILE* f = std::fopen((folder + "/kept.txt").c_str(), "wb")) {
                std::fputs("must not change", f);
                std::fclose(f);
            }
        }
        return Outside();
    }();
    return before;
}

void ReportChanges(const Listing& before, const Listing& after) {
    for (const auto& [path, item] : before) {
        auto found = after.find(path);
        if (found == after.end())
            std::fprintf(stderr, "removed outside the target: %s\n", path.c_str());
        else if (found->second != item)
            std::fprintf(stderr, "changed outside the target: %s (mode %o -> %o)\n", path.c_str(),
                         static_cast<unsigned>(item.mode), static_cast<unsigned>(found->second.mode));
    }
    for (const auto& entry : after)
        if (!before.count(entry.first)) std::fprintf(stderr, "created outside the target: %s\n", entry.first.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Listing& before = Before();
    const Places& p = Paths();
    ClearTarget();
    if (FILE* f = std::fopen(p.package.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ArchiveReader reader;
    try {
        reader.Open(p.package.c_str(), ArchiveReader::OpenExisting, 0);
        for (int i = 0; i < reader.GetCount() && i < 64; ++i) {
            try {
                reader.ExtractFile(i, p.target.c_str(), true, nullptr, nullptr, nullptr, 65535);
            } catch (const Exception&) {
                reader.Close(true);
                reader.Open(p.package.c_str(), ArchiveReader::OpenExisting, 0);
            }
        }
        reader.Close();
    } catch (const Exception&) {
        reader.Close(true);
    }
    Listing after = Outside();
    if (after != before) {
        ReportChanges(before, after);
        __builtin_trap();
    }
    return 0;
}
