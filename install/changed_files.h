// An update that fetches only what changed. With the release's signed file list,
// the new version folder is built from the installed one: every listed file the
// installed folder holds with the same content is copied, and only the other
// entries are fetched out of the full package on the server, by byte ranges,
// into a file of the package's size at their own offsets, so that the package
// reader extracts them as it extracts a whole package. Every file of the new
// folder is then checked against the list. Nothing extra is built per old version:
// the package and its list are all the server holds.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "release/file_list.h"

class ArchiveReader;

namespace install {

// The package on the server, as byte ranges.
class PackageRanges {
 public:
    // No range asked for is longer than this, so that none is held whole in memory:
    // an entry may be hundreds of megabytes.
    static constexpr uint64_t kLargestRange = 4u << 20;

    virtual ~PackageRanges() = default;
    // The bytes from `first` to `last`, both included; false when they cannot be
    // had exactly (no answer, a short one, a server that sends the whole file).
    virtual bool Fetch(uint64_t first, uint64_t last, std::string& bytes) = 0;
};

struct ByteRange {
    uint64_t first;
    uint64_t last;  // included
};

// The entries of an open package by the names its reader gives, which are the
// names a file list holds.
std::map<std::string, int> EntriesByName(const ArchiveReader& reader);

// What fetching entry `index` of an open package takes: from its local header to
// the next entry's, or to `limit` (where the directory begins), the last byte
// included. False for an index the package does not have.
bool EntryRange(const ArchiveReader& reader, int index, uint64_t limit, ByteRange& range);

// The bytes the ranges hold together.
uint64_t Bytes(const std::vector<ByteRange>& ranges);

// The ranges sorted and joined where they touch or lie at most `largestGap` bytes
// apart: one request may cover neighbouring entries and what little lies between.
std::vector<ByteRange> JoinRanges(std::vector<ByteRange> ranges, uint64_t largestGap);

// Where the central directory of a package of `packageSize` bytes lies, read from
// the package's last bytes `tail` (starting at `tailStart`): false when no end
// record is found there, or when anything stands between the directory and it.
bool FindDirectory(const std::string& tail, uint64_t tailStart, uint64_t packageSize, uint64_t& directoryOffset);

struct ChangeSummary {
    unsigned copied = 0;         // files taken from the installed folder
    unsigned fetched = 0;        // entries fetched from the package
    uint64_t bytesFetched = 0;   // everything asked of the server, the list included
};

// Told the bytes fetched so far and, once known, how many will be in all (0 before).
using FetchedBytes = std::function<void(uint64_t fetched, uint64_t toFetch)>;

// Builds `newFolder` as the release of `list` from `installedFolder` and ranges of
// the package (see above), using `scratchPackage` for the fetched parts and
// deleting it afterwards. `summary.bytesFetched` starts from what the caller has
// already fetched (the list). False, with the new folder possibly half built (a
// whole package extracted over it puts it right), on any doubt.
bool BuildFromChanges(const file_list::FileList& list, const std::string& installedFolder,
                      const std::string& newFolder, const std::string& scratchPackage, PackageRanges& package,
                      const FetchedBytes& progress, ChangeSummary& summary);

// What an update from a release with `installed` costs when the new release is
// `list` and its package's entries lie at `extents` (by list name): the files it
// fetches and the bytes of their joined ranges, beside the list and directory.
struct UpdateCost {
    unsigned files = 0;
    uint64_t entryBytes = 0;
};
UpdateCost CostFrom(const file_list::FileList& installed, const file_list::FileList& list,
                    const std::function<bool(const std::string& name, ByteRange& extent)>& extentOf);

}  // namespace install
