#include "tools/cvztool/package_writer.h"

#include <iconv.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <vector>

#include "framework/reserved_names.h"
#include "framework/text.h"

namespace fs = std::filesystem;

namespace package_writer {

namespace {

// The reader counts entries in 16 bits and every size and offset in 32: a package
// beyond either would need the ZIP64 records the installer does not read.
constexpr uint64_t kMaxEntries = 0xFFFF;
constexpr uint64_t kMaxArchiveBytes = 0xFFFFFFFFull;
constexpr int kDeflateLevel = 9;  // packed once, downloaded by every machine
constexpr uint32_t kDosFolderAttributes = 0x10;
constexpr uint32_t kDosFileAttributes = 0x20;  // the archive bit, as Windows sets it on a new file

struct SourceEntry {
    fs::path source;
    std::string storedName;  // code page 949, "/" between components, folders end with "/"
    bool isFolder;
    time_t modified;
    uint64_t size;
};

// Converts between two encodings, all or nothing.
bool Convert(const char* to, const char* from, const std::string& input, std::string& output) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = input;
    std::string out(input.size() * 4 + 4, '\0');
    char* inPointer = in.empty() ? nullptr : &in[0];
    size_t inLeft = in.size();
    char* outPointer = &out[0];
    size_t outLeft = out.size();
    size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return false;
    out.resize(out.size() - outLeft);
    output = out;
    return true;
}

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

class PackageWalk {
 public:
    explicit PackageWalk(const fs::path& root) : root_(root) {}

    std::vector<SourceEntry> Collect() {
        Walk(root_, "");
        return std::move(entries_);
    }

 private:
    void Walk(const fs::path& folder, const std::string& storedPrefix) {
        std::vector<fs::path> children;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        if (error) throw PackError(Quoted(folder) + " cannot be read: " + error.message());
        // Byte order of the file system's names, the same on every run and machine.
        std::sort(children.begin(), children.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename().native() < b.filename().native(); });

        std::set<std::string> seen;
        for (const fs::path& child : children) {
            std::string name = child.filename().native();
            std::string problem = WindowsNameProblem(name);
            if (!problem.empty()) throw PackError(Quoted(child) + " " + problem);
            std::string stored;
            try {
                stored = ToCodePage949(name);
            } catch (const PackError& e) {
                throw PackError(Quoted(child) + ": " + e.what());
            }
            // Windows would put both into one file, the second overwriting the first.
            if (!seen.insert(text::MbsUpper(stored)).second)
                throw PackError(Quoted(child) + " differs from another name in its folder only by case");

            fs::file_status status = fs::symlink_status(child, error);
            if (error) throw PackError(Quoted(child) + " cannot be read: " + error.message());
            SourceEntry entry{child, storedPrefix + stored, false, LastWriteTime(child), 0};
            if (fs::is_directory(status)) {
                entry.isFolder = true;
                entry.storedName += "/";
                entries_.push_back(entry);
                Walk(child, entry.storedName);
                continue;
            }
            if (fs::is_symlink(status))
                throw PackError(Quoted(child) + " is a symbolic link; a package holds only files and folders");
            if (!fs::is_regular_file(status))
                throw PackError(Quoted(child) + " is not a file or a folder");
            entry.size = fs::file_size(child, error);
            if (error) throw PackError(Quoted(child) + " cannot be read: " + error.message());
            if (entry.size >= kMaxArchiveBytes)
                throw PackError(Quoted(child) + " is 4 GiB or larger, more than a package entry can hold");
            entries_.push_back(entry);
        }
    }

    static time_t LastWriteTime(const fs::path& path) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) throw PackError(Quoted(path) + " cannot be read");
        return st.st_mtime;
    }

    fs::path root_;
    std::vector<SourceEntry> entries_;
};

void CheckLimits(const std::vector<SourceEntry>& entries, const fs::path& folder) {
    if (entries.empty()) throw PackError(Quoted(folder) + " holds nothing to pack");
    if (entries.size() > kMaxEntries) throw PackError(Quoted(folder) + " holds more than 65535 files and folders");
    // Deflate can grow data that does not compress by a little; allow for that and
    // for both headers of every entry.
    uint64_t estimate = 22;
    for (const SourceEntry& entry : entries) {
        if (entry.storedName.size() > 0xFFFF) throw PackError(Quoted(entry.source) + " has too long a name");
        estimate += entry.size + entry.size / 1000 + 64 + 30 + 46 + 2 * entry.storedName.size();
    }
    if (estimate >= kMaxArchiveBytes) throw PackError(Quoted(folder) + " holds more than a 4 GiB package can carry");
}

std::string LibzipError(zip_t* archive) { return zip_strerror(archive); }

// Adds one entry and fixes everything libzip would otherwise take from the file
// system or the clock: time, attributes and the host they are meant for.
void AddEntry(zip_t* archive, const SourceEntry& entry) {
    zip_int64_t index;
    if (entry.isFolder) {
        index = zip_dir_add(archive, entry.storedName.c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source = zip_source_file(archive, entry.source.c_str(), 0, -1);
        if (!source) throw PackError(Quoted(entry.source) + ": " + LibzipError(archive));
        // Guessing only decides whether libzip marks the name as UTF-8, which it does
        // only for names declared UTF-8: code page 949 bytes are stored as they are.
        index = zip_file_add(archive, entry.storedName.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) zip_source_free(source);
    }
    if (index < 0) throw PackError(Quoted(entry.source) + ": " + LibzipError(archive));
    zip_uint64_t at = static_cast<zip_uint64_t>(index);
    DosDateTime when = ToDosDateTime(entry.modified);
    bool ok = zip_file_set_dostime(archive, at, when.time, when.date, 0) == 0 &&
              zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_DOS,
                                                entry.isFolder ? kDosFolderAttributes : kDosFileAttributes) == 0;
    if (ok && !entry.isFolder) ok = zip_set_file_compression(archive, at, ZIP_CM_DEFLATE, kDeflateLevel) == 0;
    if (!ok) throw PackError(Quoted(entry.source) + ": " + LibzipError(archive));
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return mismatch.first == outer.end();
}

}  // namespace

std::string ToCodePage949(const std::string& utf8) {
    std::string wide;
    if (!Convert("UTF-32LE", "UTF-8", utf8, wide)) throw PackError("the name is not UTF-8");
    std::string stored;
    if (!Convert("CP949", "UTF-8", utf8, stored))
        throw PackError("the name holds a character that code page 949 cannot write");
    return stored;
}

std::string WindowsNameProblem(const std::string& name) {
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return "has a character that Windows file names cannot hold";
    }
    if (name == "." || name == "..") return "is not a name";
    if (name.back() == '.' || name.back() == ' ') return "ends with a dot or a blank, which Windows drops";
    if (reserved_names::IsDeviceName(name, reserved_names::NameEncoding::Utf8)) return "is a device name on Windows";
    return "";
}

DosDateTime ToDosDateTime(time_t when) {
    struct tm local;
    if (!localtime_r(&when, &local) || local.tm_year < 80) return {static_cast<uint16_t>((1 << 5) | 1), 0};
    if (local.tm_year > 207) return {static_cast<uint16_t>((127 << 9) | (12 << 5) | 31), 0xBF7D};  // 23:59:58
    uint16_t date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    uint16_t time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return {date, time};
}

PackSummary PackFolder(const std::string& folder, const std::string& package) {
    std::error_code error;
    fs::path root = fs::canonical(folder, error);
    if (error || !fs::is_directory(root)) throw PackError(Quoted(folder) + " is not a folder");
    fs::path target = fs::weakly_canonical(fs::absolute(package), error);
    if (error || !target.has_filename()) throw PackError(Quoted(package) + " is not a file name");
    if (IsInside(target.parent_path(), root))
        throw PackError(Quoted(package) + " is inside the folder it would pack");

    std::vector<SourceEntry> entries = PackageWalk(root).Collect();
    CheckLimits(entries, root);

    int openError = 0;
    zip_t* archive = zip_open(target.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, openError);
        std::string message = Quoted(package) + " cannot be written: " + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        throw PackError(message);
    }
    PackSummary summary;
    try {
        for (const SourceEntry& entry : entries) {
            AddEntry(archive, entry);
            ++(entry.isFolder ? summary.folders : summary.files);
        }
    } catch (...) {
        zip_discard(archive);
        throw;
    }
    if (zip_close(archive) != 0) {
        std::string message = Quoted(package) + " cannot be written: " + LibzipError(archive);
        zip_discard(archive);
        throw PackError(message);
    }
    return summary;
}

int RunPackCommand(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cvztool pack FOLDER PACKAGE\n");
        return 64;
    }
    try {
        PackSummary summary = PackFolder(argv[0], argv[1]);
        std::printf("packed %u files and %u folders into %s\n", summary.files, summary.folders, argv[1]);
        return 0;
    } catch (const std::exception& e) {  // PackError, or what the file system or libzip raised
        std::fprintf(stderr, "pack error: %s\n", e.what());
        return 4;
    }
}

}  // namespace package_writer
