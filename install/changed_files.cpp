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

uint32_t ReadLittle32(const std::string& bytes, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

uint16_t ReadLittle16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::string Under(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

bool HasContent(const std::string& path, const file_list::Entry& entry) {
    if (!file_system::Exists(path) || file_system::IsFolder(path)) return false;
    try {
        File file;
        file.Open(path, File::modeRead | File::shareDenyWrite);
        if (file.GetLength() != entry.size) return false;
        file.Close();
    } catch (const FileException&) {
        return false;
    }
    std::string digest;
    return release_signature::FileSha256(path, digest) && digest == entry.sha256;
}

bool CopyContent(const std::string& from, const std::string& to) {
    try {
        File source, target;
        source.Open(from, File::modeRead | File::shareDenyWrite);
        file_system::SetAttributes(to, ArchiveEntryInfo::kAttributeArchive);  // a read-only leftover is replaced
        target.Open(to, File::modeCreate | File::modeWrite);
        std::string chunk(kCopyChunk, '\0');
        for (;;) {
            unsigned got = source.Read(&chunk[0], kCopyChunk);
            if (got == 0) break;
            target.Write(chunk.data(), got);
        }
        target.Close();
        source.Close();
        return true;
    } catch (const FileException&) {
        return false;
    }
}

// Lays `bytes` into the scratch package at `offset`.
void Lay(File& scratch, uint64_t offset, const std::string& bytes) {
    scratch.Seek(static_cast<int64_t>(offset), File::begin);
    if (!bytes.empty()) scratch.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

// Asks the package for a range, piece by piece, and lays it in; counts what came.
bool FetchInto(PackageRanges& package, File& scratch, ByteRange range, ChangeSummary& summary,
               const FetchedBytes& progress, uint64_t toFetch) {
    for (uint64_t first = range.first; first <= range.last; first += PackageRanges::kLargestRange) {
        uint64_t last = std::min(range.last, first + PackageRanges::kLargestRange - 1);
        std::string bytes;
        if (!package.Fetch(first, last, bytes) || bytes.size() != last - first + 1) return false;
        Lay(scratch, first, bytes);
        summary.bytesFetched += bytes.size();
        if (progress) progress(summary.bytesFetched, toFetch);
    }
    return true;
}

// The part of the work that reads the package: the directory, then the entries
// that were not copied; the copied files get the times and attributes a whole
// unpacking would give them.
bool FetchAndExtract(const file_list::FileList& list, const std::string& newFolder, File& scratch, const std::string& scratchPath,
                     PackageRanges& package, const std::set<std::string>& copied, const FetchedBytes& progress,
                     ChangeSummary& summary) {
    uint64_t size = list.packageSize;
    if (size == 0) return false;
    uint64_t tailStart = size;
    std::string tail;
    uint64_t directoryOffset = 0;
    bool found = false;
    for (uint64_t tailLength : {kFirstTail, static_cast<uint64_t>(CentralDirectory::kEndSearchLimit)}) {
        uint64_t start = size > tailLength ? size - tailLength : 0;
        if (start >= tailStart) break;
        std::string more;
        if (!package.Fetch(start, tailStart - 1, more) || more.size() != tailStart - start) return false;
        summary.bytesFetched += more.size();
        tail = more + tail;
        tailStart = start;
        found = FindDirectory(tail, tailStart, size, directoryOffset);
        if (found) break;
    }
    if (!found) return false;
    Lay(scratch, tailStart, tail);
    if (directoryOffset < tailStart &&
        !FetchInto(package, scratch, {directoryOffset, tailStart - 1}, summary, progress, 0))
        return false;
    scratch.Close();

    ArchiveReader reader;
    reader.Open(scratchPath.c_str(), ArchiveReader::OpenReadOnly, 0);
    // Every entry of the package is listed, or a whole unpacking would make another folder.
    if (reader.GetCount() < 0 || static_cast<size_t>(reader.GetCount()) != list.entries.size()) return false;
    std::map<std::string, int> indexOf = EntriesByName(reader);
    std::vector<int> toExtract;
    std::vector<ByteRange> extents;
    for (const file_list::Entry& entry : list.entries) {
        auto index = indexOf.find(entry.name);
        if (index == indexOf.end()) return false;  // the list is not this package's
        ArchiveEntryInfo info;
        reader.GetEntryInfo(index->second, info);
        if (entry.folder) {
            if (!reader.ExtractFile(index->second, newFolder.c_str())) return false;
        } else if (copied.count(entry.name)) {
            std::string path = Under(newFolder, entry.name);
            if (!file_system::SetTimesFromDos(path, info.modDate, info.modTime) ||
                !file_system::SetAttributes(path, info.externalAttributes))
                return false;
        } else {
            ByteRange extent{0, 0};
            if (!EntryRange(reader, index->second, directoryOffset, extent)) return false;
            extents.push_back(extent);
            toExtract.push_back(index->second);
        }
    }
    reader.Close();

    std::vector<ByteRange> ranges = JoinRanges(extents, kLargestGap);
    uint64_t toFetch = summary.bytesFetched + Bytes(ranges);
    if (progress) progress(summary.bytesFetched, toFetch);
    scratch.Open(scratchPath, File::modeReadWrite);
    for (const ByteRange& range : ranges)
        if (!FetchInto(package, scratch, range, summary, progress, toFetch)) return false;
    scratch.Close();

    reader.Open(scratchPath.c_str(), ArchiveReader::OpenReadOnly, 0);
    for (int index : toExtract)
        if (!reader.ExtractFile(index, newFolder.c_str())) return false;
    reader.Close();
    summary.fetched = static_cast<unsigned>(toExtract.size());
    return true;
}

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
    for (size_t at = tail.size() - CentralDirectory::kEndRecordSize + 1; at-- > 0;) {
        if (ReadLittle32(tail, at) != CentralDirectory::kEndSignature) continue;
        // The record's comment must reach exactly to the end of the package.
        if (at + CentralDirectory::kEndRecordSize + ReadLittle16(tail, at + 20) != tail.size()) continue;
        uint64_t size = ReadLittle32(tail, at + 12);
        uint64_t offset = ReadLittle32(tail, at + 16);
        if (offset + size != tailStart + at) return false;
        directoryOffset = offset;
        return true;
    }
    return false;
}

bool BuildFromChanges(const file_list::FileList& list, const std::string& installedFolder,
                      const std::string& newFolder, const std::string& scratchPackage, PackageRanges& package,
                      const FetchedBytes& progress, ChangeSummary& summary) {
    // What the installed folder already holds, byte for byte.
    std::set<std::string> copied;
    archive_paths::CreateFolderChain(newFolder);
    for (const file_list::Entry& entry : list.entries) {
        if (entry.folder || !HasContent(Under(installedFolder, entry.name), entry)) continue;
        std::string target = Under(newFolder, entry.name);
        std::string parent = target.substr(0, target.rfind('\\'));
        if (!archive_paths::CreateFolderChain(parent) || !CopyContent(Under(installedFolder, entry.name), target))
            return false;
        copied.insert(entry.name);
    }
    summary.copied = static_cast<unsigned>(copied.size());

    bool built = false;
    try {
        File scratch;
        scratch.Open(scratchPackage, File::modeCreate | File::modeReadWrite);
        if (list.packageSize > 0) Lay(scratch, list.packageSize - 1, std::string(1, '\0'));
        built = FetchAndExtract(list, newFolder, scratch, scratchPackage, package, copied, progress, summary);
        if (scratch.IsOpen()) scratch.Abort();
    } catch (const Exception&) {
        built = false;
    }
    file_system::RemoveFile(scratchPackage);
    if (!built) return false;

    // The folder is the release only when every file is the listed one.
    for (const file_list::Entry& entry : list.entries)
        if (!entry.folder && !HasContent(Under(newFolder, entry.name), entry)) return false;
    return true;
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
