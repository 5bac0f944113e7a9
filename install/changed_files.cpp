#include "install/changed_files.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/archive_paths.h"
#include "archive/archive_reader.h"
#include "archive/central_directory.h"
#include "framework/file.h"
#include "release/release_signature.h"

namespace install {

namespace {

// Ranges closer than this are fetched as one: a request costs a round trip and its
// headers, which on a slow line take as long as a few kilobytes.
constexpr uint64_t kLargestGap = 4096;
constexpr unsigned kCopyChunk = 64 * 1024;
// The end record is looked for in this much of the package's end first: it is all
// a package without a comment needs (cvztool writes none); a longer comment costs
// a second request for the rest of what the record may take.
constexpr uint64_t kFirstTail = 1024;

std::string Under(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

// Everything the server is asked goes through here: a partial answer naming exactly
// the range of the listed package, streamed to `sink`; anything else is a doubt.
class Ranges {
 public:
    Ranges(file_fetch::Fetcher& server, const ChangesJob& job, const StopRequest& stop, WorkProgress& progress,
           ChangeSummary& summary)
        : server_(server), job_(job), stop_(stop), progress_(progress), summary_(summary) {}

    // False when the bytes could not be had exactly; `stopped` tells whether the stop
    // request was the reason.
    bool Fetch(ByteRange range, answer_reading::Sink& sink) {
        for (uint64_t first = range.first; first <= range.last; first += kLargestRange) {
            file_fetch::Request request;
            request.ranged = true;
            request.first = first;
            request.last = std::min(range.last, first + kLargestRange - 1);
            request.fileSize = job_.list.packageSize;
            Counting counting(sink, *this);
            file_fetch::Answer answer = server_.Fetch(
                job_.packageUrl, request, stop_,
                [](file_fetch::Answer kind, uint64_t) { return kind == file_fetch::Answer::Partial; }, counting);
            if (answer != file_fetch::Answer::Partial) return false;
            if (counting.taken != request.last - request.first + 1) return false;
        }
        return true;
    }

 private:
    // Counts each piece as it arrives, so that a slow but moving range shows.
    struct Counting : answer_reading::Sink {
        Counting(answer_reading::Sink& inner, Ranges& ranges) : inner(inner), ranges(ranges) {}
        bool Take(const char* bytes, size_t size) override {
            if (!inner.Take(bytes, size)) return false;
            taken += size;
            ranges.summary_.bytesFetched += size;
            ranges.progress_.done = ranges.summary_.bytesFetched;
            return true;
        }
        answer_reading::Sink& inner;
        Ranges& ranges;
        uint64_t taken = 0;
    };

    file_fetch::Fetcher& server_;
    const ChangesJob& job_;
    const StopRequest& stop_;
    WorkProgress& progress_;
    ChangeSummary& summary_;
};

class TextSink : public answer_reading::Sink {
 public:
    bool Take(const char* bytes, size_t size) override {
        text.append(bytes, size);
        return true;
    }
    std::string text;
};

// Lays a range's bytes into the scratch package at their own offsets.
class ScratchSink : public answer_reading::Sink {
 public:
    ScratchSink(File& scratch, uint64_t offset, const StopRequest& stop) : scratch_(scratch), stop_(stop) {
        scratch_.Seek(static_cast<int64_t>(offset), File::begin);
    }
    bool Take(const char* bytes, size_t size) override {
        if (stop_.Requested()) return false;
        scratch_.Write(bytes, static_cast<unsigned>(size));
        return true;
    }

 private:
    File& scratch_;
    const StopRequest& stop_;
};

void Lay(File& scratch, uint64_t offset, const std::string& bytes) {
    scratch.Seek(static_cast<int64_t>(offset), File::begin);
    if (!bytes.empty()) scratch.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

// Copies the installed file to the new folder when its content is the listed one,
// hashing the very bytes it writes; false (and nothing left behind) otherwise.
enum class Copy { Same, Differs, Stopped };
Copy CopyIfListed(const std::string& from, const std::string& to, const file_list::Entry& entry,
                  const StopRequest& stop) {
    if (!file_system::Exists(from) || file_system::IsFolder(from)) return Copy::Differs;
    release_signature::Sha256Hasher hash;
    bool same = false;
    try {
        File source;
        source.Open(from, File::modeRead);
        if (source.GetLength() != entry.size) return Copy::Differs;
        File target;
        target.Open(to, File::modeCreate | File::modeWrite);
        std::string chunk(kCopyChunk, '\0');
        for (;;) {
            if (stop.Requested()) break;
            unsigned got = source.Read(&chunk[0], kCopyChunk);
            if (got == 0) {
                same = hash.Result() == entry.sha256;
                break;
            }
            hash.Add(chunk.data(), got);
            if (stop.Requested()) break;
            target.Write(chunk.data(), got);
        }
        target.Close();
    } catch (const FileException&) {
        same = false;
    }
    if (!same) file_system::RemoveFile(to);
    if (stop.Requested()) return Copy::Stopped;
    return same ? Copy::Same : Copy::Differs;
}

bool HasContent(const std::string& path, const file_list::Entry& entry) {
    if (!file_system::Exists(path) || file_system::IsFolder(path)) return false;
    std::string digest;
    return release_signature::FileSha256(path, digest) && digest == entry.sha256;
}

// Stops an extraction between two of its writes once the stop request has come.
bool GoesOn(unsigned, unsigned, void* stop) { return !static_cast<const StopRequest*>(stop)->Requested(); }

class Building {
 public:
    Building(const ChangesJob& job, file_fetch::Fetcher& server, const StopRequest& stop, WorkProgress& progress,
             ChangeSummary& summary)
        : job_(job), list_(job.list), stop_(stop), progress_(progress), summary_(summary),
          ranges_(server, job, stop, progress, summary) {}

    ChangesOutcome Run() {
        uint64_t size = list_.packageSize;
        if (size == 0) return ChangesOutcome::Doubt;
        uint64_t needed = size;
        for (const file_list::Entry& entry : list_.entries) needed += entry.size;
        uint64_t room = job_.roomOnDisk ? job_.roomOnDisk() : file_system::FreeBytes(job_.newFolder);
        if (room < needed) return ChangesOutcome::DiskFull;

        File scratch;
        scratch.Open(job_.scratchPackage, File::modeCreate | File::modeReadWrite);
        Lay(scratch, size - 1, std::string(1, '\0'));
        uint64_t directoryOffset = 0;
        if (!FetchDirectory(scratch, directoryOffset)) return Ended();
        scratch.Close();

        ArchiveReader reader;
        reader.Open(job_.scratchPackage.c_str(), ArchiveReader::OpenReadOnly, 0);
        // Plain files and folders: the directory is the server's until the files are checked.
        reader.TakeAttributes(false);
        std::vector<Listed> listed;
        if (!MatchDirectory(reader, directoryOffset, listed)) return Ended();
        reader.Close();

        if (!CreateFolders() || !CopyWhatIsInstalled(listed)) return Ended();

        std::vector<ByteRange> extents;
        for (const Listed& item : listed)
            if (!item.entry->folder && !item.copied) extents.push_back(item.extent);
        std::vector<ByteRange> joined = JoinRanges(extents, kLargestGap);
        progress_.total = summary_.bytesFetched + Bytes(joined);
        scratch.Open(job_.scratchPackage, File::modeReadWrite);
        for (const ByteRange& range : joined) {
            ScratchSink sink(scratch, range.first, stop_);
            if (!ranges_.Fetch(range, sink)) return Ended();
        }
        scratch.Close();

        reader.Open(job_.scratchPackage.c_str(), ArchiveReader::OpenReadOnly, 0);
        reader.TakeAttributes(false);
        for (const Listed& item : listed) {
            if (item.entry->folder) continue;
            if (stop_.Requested()) return ChangesOutcome::Stopped;
            if (item.copied) {
                // A whole unpacking would give the file the package's time; nothing else
                // of the directory counts.
                file_system::SetTimesFromDos(Under(job_.newFolder, item.entry->name), item.dosDate, item.dosTime);
                continue;
            }
            if (!reader.ExtractFile(item.index, job_.newFolder.c_str(), true, nullptr, GoesOn,
                                    const_cast<void*>(static_cast<const void*>(&stop_))))
                return Ended();
            ++summary_.fetched;
        }
        reader.Close();

        // The folder is the release only when every fetched file is the listed one
        // (the copied ones were hashed as they were written).
        for (const Listed& item : listed) {
            if (stop_.Requested()) return ChangesOutcome::Stopped;
            if (!item.entry->folder && !item.copied && !HasContent(Under(job_.newFolder, item.entry->name), *item.entry))
                return ChangesOutcome::Doubt;
        }
        return ChangesOutcome::Built;
    }

 private:
    struct Listed {
        const file_list::Entry* entry;
        int index;
        ByteRange extent;
        uint16_t dosDate;
        uint16_t dosTime;
        bool copied;
    };

    ChangesOutcome Ended() const { return stop_.Requested() ? ChangesOutcome::Stopped : ChangesOutcome::Doubt; }

    // The package's end and directory into the scratch package.
    bool FetchDirectory(File& scratch, uint64_t& directoryOffset) {
        uint64_t size = list_.packageSize;
        uint64_t tailStart = size;
        std::string tail;
        for (uint64_t tailLength : {kFirstTail, static_cast<uint64_t>(CentralDirectory::kEndSearchLimit)}) {
            uint64_t start = size > tailLength ? size - tailLength : 0;
            if (start >= tailStart) break;
            TextSink more;
            if (!ranges_.Fetch({start, tailStart - 1}, more)) return false;
            tail = more.text + tail;
            tailStart = start;
            if (FindDirectory(tail, tailStart, size, directoryOffset)) {
                if (stop_.Requested()) return false;
                Lay(scratch, tailStart, tail);
                if (directoryOffset >= tailStart) return true;
                ScratchSink sink(scratch, directoryOffset, stop_);
                return ranges_.Fetch({directoryOffset, tailStart - 1}, sink);
            }
        }
        return false;
    }

    // Every entry of the package is listed, as the same kind and size, or a whole
    // unpacking would make another folder; and nothing is written before that holds.
    bool MatchDirectory(const ArchiveReader& reader, uint64_t directoryOffset, std::vector<Listed>& listed) {
        if (reader.GetCount() < 0 || static_cast<size_t>(reader.GetCount()) != list_.entries.size()) return false;
        std::map<std::string, int> indexOf = EntriesByName(reader);
        for (const file_list::Entry& entry : list_.entries) {
            auto index = indexOf.find(entry.name);
            if (index == indexOf.end()) return false;
            ArchiveEntryInfo info;
            reader.GetEntryInfo(index->second, info);
            if (info.IsFolder() != entry.folder || (!entry.folder && info.uncompressedSize != entry.size))
                return false;
            Listed item{&entry, index->second, {0, 0}, info.modDate, info.modTime, false};
            if (!entry.folder && !EntryRange(reader, index->second, directoryOffset, item.extent)) return false;
            listed.push_back(item);
        }
        return true;
    }

    bool CreateFolders() {
        for (const file_list::Entry& entry : list_.entries) {
            std::string path = Under(job_.newFolder, entry.folder ? archive_paths::StripTrailingSeparators(entry.name)
                                                                  : entry.name);
            if (!entry.folder) path = path.substr(0, path.rfind('\\'));
            if (!archive_paths::CreateFolderChain(path)) return false;
        }
        return true;
    }

    bool CopyWhatIsInstalled(std::vector<Listed>& listed) {
        for (Listed& item : listed) {
            if (item.entry->folder) continue;
            Copy copy = CopyIfListed(Under(job_.installedFolder, item.entry->name),
                                     Under(job_.newFolder, item.entry->name), *item.entry, stop_);
            if (copy == Copy::Stopped) return false;
            item.copied = copy == Copy::Same;
            if (item.copied) ++summary_.copied;
        }
        return true;
    }

    const ChangesJob& job_;
    const file_list::FileList& list_;
    const StopRequest& stop_;
    WorkProgress& progress_;
    ChangeSummary& summary_;
    Ranges ranges_;
};

}  // namespace

std::map<std::string, int> EntriesByName(const ArchiveReader& reader) {
    std::map<std::string, int> indexOf;
    for (int i = 0; i < reader.GetCount(); ++i) {
        ArchiveEntryInfo info;
        reader.GetEntryInfo(i, info);
        indexOf[info.GetFileName()] = i;
    }
    return indexOf;
}

bool EntryRange(const ArchiveReader& reader, int index, uint64_t limit, ByteRange& range) {
    uint64_t begin = 0, end = 0;
    if (!reader.GetEntryExtent(index, begin, end) || begin >= std::min(end, limit)) return false;
    range = {begin, std::min(end, limit) - 1};
    return true;
}

uint64_t Bytes(const std::vector<ByteRange>& ranges) {
    uint64_t bytes = 0;
    for (const ByteRange& range : ranges) bytes += range.last - range.first + 1;
    return bytes;
}

std::vector<ByteRange> JoinRanges(std::vector<ByteRange> ranges, uint64_t largestGap) {
    std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    std::vector<ByteRange> joined;
    for (const ByteRange& range : ranges) {
        if (!joined.empty() && range.first <= joined.back().last + 1 + largestGap)
            joined.back().last = std::max(joined.back().last, range.last);
        else
            joined.push_back(range);
    }
    return joined;
}

bool FindDirectory(const std::string& tail, uint64_t tailStart, uint64_t packageSize, uint64_t& directoryOffset) {
    if (tail.size() < CentralDirectory::kEndRecordSize || tailStart + tail.size() != packageSize) return false;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(tail.data());
    for (size_t at = tail.size() - CentralDirectory::kEndRecordSize + 1; at-- > 0;) {
        uint32_t signature = static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
                             static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
        if (signature != CentralDirectory::kEndSignature) continue;
        CentralDirectory::EndRecord record = CentralDirectory::ParseEndRecord(bytes + at);
        // The record's comment must reach exactly to the end of the package.
        if (at + CentralDirectory::kEndRecordSize + record.commentLength != tail.size()) continue;
        if (static_cast<uint64_t>(record.directoryOffset) + record.directorySize != tailStart + at) return false;
        directoryOffset = record.directoryOffset;
        return true;
    }
    return false;
}

ChangesOutcome BuildFromChanges(const ChangesJob& job, file_fetch::Fetcher& server, const StopRequest& stop,
                                WorkProgress& progress, ChangeSummary& summary) {
    ChangesOutcome outcome = ChangesOutcome::Doubt;
    try {
        outcome = Building(job, server, stop, progress, summary).Run();
    } catch (const FileException& e) {
        outcome = e.cause == FileException::diskFull ? ChangesOutcome::DiskFull : ChangesOutcome::Doubt;
    } catch (const Exception&) {
        outcome = ChangesOutcome::Doubt;
    }
    if (stop.Requested() && outcome != ChangesOutcome::Built) outcome = ChangesOutcome::Stopped;
    file_system::RemoveFile(job.scratchPackage);
    return outcome;
}

UpdateCost CostFrom(const file_list::FileList& installed, const file_list::FileList& list,
                    const std::function<bool(const std::string& name, ByteRange& extent)>& extentOf) {
    std::set<std::pair<std::string, std::string>> held;
    for (const file_list::Entry& entry : installed.entries)
        if (!entry.folder) held.insert({entry.name, entry.sha256});
    UpdateCost cost;
    std::vector<ByteRange> extents;
    for (const file_list::Entry& entry : list.entries) {
        if (entry.folder || held.count({entry.name, entry.sha256})) continue;
        ByteRange extent{0, 0};
        if (!extentOf(entry.name, extent)) continue;
        extents.push_back(extent);
        ++cost.files;
    }
    cost.entryBytes = Bytes(JoinRanges(extents, kLargestGap));
    return cost;
}

}  // namespace install
