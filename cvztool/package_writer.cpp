#include "cvztool/package_writer.h"

#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <wctype.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "framework/reserved_names.h"

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

// Descriptors left free for what is opened while the files are still held:
// libzip's temporary output, and whatever the command around the pack opens.
constexpr rlim_t kDescriptorsKeptFree = 32;

// Every file is held open from the walk until it is written: ask for as many
// descriptors as a package can have entries, as far as the hard limit allows.
rlim_t RaiseDescriptorLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return RLIM_INFINITY;  // then only EMFILE stops the walk
    rlim_t wanted = kMaxEntries + kDescriptorsKeptFree;
    if (limit.rlim_cur < wanted) {  // RLIM_INFINITY is the largest value
        rlim_t current = limit.rlim_cur;
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return current;
    }
    return limit.rlim_cur;
}

// Names are read from descriptors, each opened relative to its folder's descriptor
// without following a link, so that no folder can be swapped for a link while the
// walk is inside it.
class PackageWalk {
 public:
    explicit PackageWalk(const fs::path& root) : root_(root), descriptorLimit_(RaiseDescriptorLimit()) {}

    std::vector<WalkedEntry> Collect() {
        ScopedDescriptor folder(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder) throw PackError(Quoted(root_) + " is not a folder: " + std::strerror(errno));
        Walk(folder.Get(), root_, "");
        return std::move(entries_);
    }

 private:
    void Walk(int folder, const fs::path& folderPath, const std::string& storedPrefix) {
        std::set<std::u16string> seen;
        for (const std::string& name : SortedNames(folder, folderPath)) {
            fs::path child = folderPath / name;
            std::string problem = WindowsNameProblem(name);
            if (!problem.empty()) throw PackError(Quoted(child) + " " + problem);
            std::string stored;
            try {
                stored = ToCodePage949(name);
            } catch (const PackError& e) {
                throw PackError(Quoted(child) + ": " + e.what());
            }
            // Windows would put both into one file, the second overwriting the first.
            if (!seen.insert(WindowsCaseKey(name)).second)
                throw PackError(Quoted(child) + " differs from another name in its folder only by case");

            struct stat walked;
            if (::fstatat(folder, name.c_str(), &walked, AT_SYMLINK_NOFOLLOW) != 0) throw CannotRead(child);
            if (S_ISLNK(walked.st_mode))
                throw PackError(Quoted(child) + " is a symbolic link; a package holds only files and folders");
            if (!S_ISDIR(walked.st_mode) && !S_ISREG(walked.st_mode))
                throw PackError(Quoted(child) + " is not a file or a folder");
            if (entries_.size() == kMaxEntries)
                throw PackError(Quoted(root_) + " holds more than 65535 files and folders");
            ScopedDescriptor opened = OpenAsWalked(folder, name, child, walked);

            WalkedEntry entry;
            entry.path = child.string();
            entry.storedName = storedPrefix + stored;
            entry.modified = walked.st_mtime;
            if (S_ISDIR(walked.st_mode)) {
                entry.isFolder = true;
                entry.storedName += "/";
                std::string prefix = entry.storedName;
                entries_.push_back(std::move(entry));
                Walk(opened.Get(), child, prefix);
                continue;
            }
            entry.size = static_cast<uint64_t>(walked.st_size);
            if (entry.size >= kMaxArchiveBytes)
                throw PackError(Quoted(child) + " is 4 GiB or larger, more than a package entry can hold");
            entry.file = std::move(opened);
            entries_.push_back(std::move(entry));
        }
    }

    // Opens what the walk saw under `name`. O_NONBLOCK: a pipe put there meanwhile
    // must not hold the walk up before the check below refuses it.
    ScopedDescriptor OpenAsWalked(int folder, const std::string& name, const fs::path& path,
                                  const struct stat& walked) {
        int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (S_ISDIR(walked.st_mode) ? O_DIRECTORY : 0);
        ScopedDescriptor opened(::openat(folder, name.c_str(), flags));
        if (!opened && (errno == EMFILE || errno == ENFILE)) throw TooManyFiles();
        if (!opened && errno != ELOOP && errno != ENOTDIR) throw CannotRead(path);
        // Descriptors are numbered from the lowest free one: one this high means
        // that only the few kept for after the walk are left.
        if (opened && static_cast<rlim_t>(opened.Get()) + kDescriptorsKeptFree >= descriptorLimit_)
            throw TooManyFiles();
        struct stat now;
        if (!opened || ::fstat(opened.Get(), &now) != 0 || now.st_dev != walked.st_dev ||
            now.st_ino != walked.st_ino || (now.st_mode & S_IFMT) != (walked.st_mode & S_IFMT))
            throw PackError(Quoted(path) + " was replaced while the folder was read; pack it again when it is still");
        return opened;
    }

    // Byte order of the file system's names, the same on every run and machine.
    static std::vector<std::string> SortedNames(int folder, const fs::path& folderPath) {
        ScopedDescriptor copy(::dup(folder));
        ScopedFolderListing listing(copy ? ::fdopendir(copy.Get()) : nullptr);
        if (!listing) throw CannotRead(folderPath);
        copy.Release();  // the listing closes it
        std::vector<std::string> names;
        for (;;) {
            errno = 0;
            struct dirent* item = ::readdir(listing.Get());
            if (!item) break;
            if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
                names.push_back(item->d_name);
        }
        if (errno != 0) throw CannotRead(folderPath);
        std::sort(names.begin(), names.end());
        return names;
    }

    static PackError CannotRead(const fs::path& path) {
        return PackError(Quoted(path) + " cannot be read: " + std::strerror(errno));
    }

    PackError TooManyFiles() const {
        return PackError(Quoted(root_) + " holds more files than cvztool may keep open at once (" +
                         std::to_string(descriptorLimit_) + "); raise the limit on open files (ulimit -Hn)");
    }

    fs::path root_;
    rlim_t descriptorLimit_;
    std::vector<WalkedEntry> entries_;
};

void CheckLimits(const std::vector<WalkedEntry>& entries, const std::string& folder) {
    if (entries.empty()) throw PackError(Quoted(folder) + " holds nothing to pack");
    // Deflate can grow data that does not compress by a little; allow for that and
    // for both headers of every entry.
    uint64_t estimate = 22;
    for (const WalkedEntry& entry : entries) {
        if (entry.storedName.size() > 0xFFFF) throw PackError(Quoted(entry.path) + " has too long a name");
        estimate += entry.size + entry.size / 1000 + 64 + 30 + 46 + 2 * entry.storedName.size();
    }
    if (estimate >= kMaxArchiveBytes) throw PackError(Quoted(folder) + " holds more than a 4 GiB package can carry");
}

std::string LibzipError(zip_t* archive) { return zip_strerror(archive); }

// What libzip reads a file through: the descriptor the walk opened, read from
// the start for as many bytes as the walk saw. Not a stdio stream: glibc unlinks
// each closed stream from a list of all of them, which for tens of thousands of
// streams closed oldest first costs seconds.
struct HeldFile {
    HeldFile(ScopedDescriptor held, uint64_t bytes) : descriptor(std::move(held)), size(bytes) {
        zip_error_init(&error);
    }
    ~HeldFile() { zip_error_fini(&error); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    ScopedDescriptor descriptor;
    uint64_t size;
    uint64_t offset = 0;
    zip_error_t error;
};

zip_int64_t ReadHeldFile(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    HeldFile* file = static_cast<HeldFile*>(state);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            file->offset = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, file->size - file->offset));
            ssize_t got;
            do {
                got = ::pread(file->descriptor.Get(), data, wanted, static_cast<off_t>(file->offset));
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                zip_error_set(&file->error, ZIP_ER_READ, errno);
                return -1;
            }
            if (got == 0 && wanted > 0) {  // shorter than when it was walked
                zip_error_set(&file->error, ZIP_ER_EOF, 0);
                return -1;
            }
            file->offset += static_cast<uint64_t>(got);
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &file->error);
            if (!stat) return -1;
            zip_stat_init(stat);
            stat->size = file->size;
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(*stat);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&file->error, data, length);
        case ZIP_SOURCE_FREE:
            delete file;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&file->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

// Takes the entry's descriptor; libzip closes it when it frees the source.
zip_source_t* HeldFileSource(zip_t* archive, WalkedEntry& entry) {
    auto file = std::make_unique<HeldFile>(std::move(entry.file), entry.size);
    zip_source_t* source = zip_source_function(archive, ReadHeldFile, file.get());
    if (source) file.release();
    return source;
}

// Adds one entry and fixes everything libzip would otherwise take from the file
// system or the clock: time, attributes and the host they are meant for.
void AddEntry(zip_t* archive, WalkedEntry& entry) {
    zip_int64_t index;
    if (entry.isFolder) {
        index = zip_dir_add(archive, entry.storedName.c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source = HeldFileSource(archive, entry);
        if (!source) throw PackError(Quoted(entry.path) + ": " + LibzipError(archive));
        // Guessing only decides whether libzip marks the name as UTF-8, which it does
        // only for names declared UTF-8: code page 949 bytes are stored as they are.
        index = zip_file_add(archive, entry.storedName.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) zip_source_free(source);
    }
    if (index < 0) throw PackError(Quoted(entry.path) + ": " + LibzipError(archive));
    zip_uint64_t at = static_cast<zip_uint64_t>(index);
    DosDateTime when = ToDosDateTime(entry.modified);
    bool ok = zip_file_set_dostime(archive, at, when.time, when.date, 0) == 0 &&
              zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_DOS,
                                                entry.isFolder ? kDosFolderAttributes : kDosFileAttributes) == 0;
    if (ok && !entry.isFolder) ok = zip_set_file_compression(archive, at, ZIP_CM_DEFLATE, kDeflateLevel) == 0;
    if (!ok) throw PackError(Quoted(entry.path) + ": " + LibzipError(archive));
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

std::u16string WindowsCaseKey(const std::string& name) {
    std::string units;
    if (!Convert("UTF-16LE", "UTF-8", name, units)) throw PackError("the name is not UTF-8");
    // Unicode's case mapping whatever locale the engineer runs under; glibc always has this one.
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!unicode) throw PackError("the C library has no C.UTF-8 locale to compare names by case");
    std::u16string key;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        wint_t unit = static_cast<unsigned char>(units[i]) | static_cast<unsigned char>(units[i + 1]) << 8;
        wint_t upper = towupper_l(unit, unicode);
        key.push_back(static_cast<char16_t>(upper <= 0xFFFF ? upper : unit));
    }
    return key;
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

PackSummary PackFolder(const std::string& folder, const std::string& package, const BeforeWriting& beforeWriting) {
    std::error_code error;
    fs::path root = fs::canonical(folder, error);
    if (error || !fs::is_directory(root)) throw PackError(Quoted(folder) + " is not a folder");
    fs::path target = fs::weakly_canonical(fs::absolute(package), error);
    if (error || !target.has_filename()) throw PackError(Quoted(package) + " is not a file name");
    if (IsInside(target.parent_path(), root))
        throw PackError(Quoted(package) + " is inside the folder it would pack");
    WalkedFolder walked = WalkFolder(root.string());
    if (beforeWriting) beforeWriting(walked);
    return WritePackage(std::move(walked), target.string());
}

WalkedFolder WalkFolder(const std::string& folder) {
    return {folder, PackageWalk(folder).Collect()};
}

PackSummary WritePackage(WalkedFolder walked, const std::string& package) {
    CheckLimits(walked.entries, walked.folder);
    int openError = 0;
    zip_t* archive = zip_open(package.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, openError);
        std::string message = Quoted(package) + " cannot be written: " + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        throw PackError(message);
    }
    PackSummary summary;
    try {
        for (WalkedEntry& entry : walked.entries) {
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
