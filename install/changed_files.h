// An update that fetches only what changed. With the release's signed file list,
// the new version is built in the run's staging from the installed one: every
// listed file the installed folder holds with the same content is copied, and only
// the other entries are fetched out of the full package on the server, by byte
// ranges, into a file of the package's size at their own offsets, so that the
// package reader extracts them as it extracts a whole package. Nothing extra is
// built per old version: the package and its list are all the server holds.
//
// Until every file is checked against the signed list, what the server sent is not
// trusted to shape anything: the directory's kinds and sizes must agree with the
// list before a byte is written, no attribute of it is taken (files and folders stay
// plain), and the new folder is given its version's name by the caller only after
// this has said Built.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/worker.h"
#include "net/file_fetch.h"
#include "release/file_list.h"

class ArchiveReader;

namespace install {

// No range asked for is longer than this, so that none is held whole in memory: an
// entry may be hundreds of megabytes.
constexpr uint64_t kLargestRange = 4u << 20;

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

// How building a version from what changed ended.
enum class ChangesOutcome {
    Built,     // the new folder is whole, and every file in it is the listed one
    Doubt,     // the server's answers are not the listed package's: fetch the whole package instead
    Stopped,   // the stop request came first
    DiskFull,  // there is no room for the new folder
};

struct ChangesJob {
    file_list::FileList list;     // verified: its signature and release checked
    std::string installedFolder;  // only ever read
    std::string newFolder;        // an empty folder of the run's staging
    std::string scratchPackage;   // a file of the run's staging, deleted at the end
    std::string packageUrl;
    // The room left on the new folder's disk; when empty, the file system is asked.
    std::function<uint64_t()> roomOnDisk;
};

// Builds `job.newFolder` as the release of `job.list` (see above). Progress counts
// the bytes fetched as they arrive and, once known, how many will be in all;
// `summary.bytesFetched` starts from what the caller has already fetched (the list).
ChangesOutcome BuildFromChanges(const ChangesJob& job, file_fetch::Fetcher& server, const StopRequest& stop,
                                WorkProgress& progress, ChangeSummary& summary);

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
