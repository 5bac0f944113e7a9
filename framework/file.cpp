#include "framework/file.h"

#include <ctime>

#include "framework/file_retry.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <climits>
#endif

namespace {

// MS-DOS date and time as a time_t, read as local time with daylight saving left
// to the run time, the way the framework's time class does it.
time_t DosToTime(uint16_t dosDate, uint16_t dosTime) {
    struct tm t = {};
    t.tm_year = ((dosDate >> 9) & 0x7F) + 80;
    t.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    t.tm_mday = dosDate & 0x1F;
    t.tm_hour = (dosTime >> 11) & 0x1F;
    t.tm_min = (dosTime >> 5) & 0x3F;
    t.tm_sec = (dosTime & 0x1F) * 2;
    t.tm_isdst = -1;
    return mktime(&t);
}

}  // namespace

#if defined(_WIN32)

namespace {

int CauseFromOsError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: return FileException::fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE: return FileException::badPath;
        case ERROR_TOO_MANY_OPEN_FILES: return FileException::tooManyOpenFiles;
        case ERROR_ACCESS_DENIED: return FileException::accessDenied;
        case ERROR_INVALID_HANDLE: return FileException::invalidFile;
        case ERROR_SHARING_VIOLATION: return FileException::sharingViolation;
        case ERROR_LOCK_VIOLATION: return FileException::lockViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return FileException::diskFull;
        case ERROR_HANDLE_EOF: return FileException::endOfFile;
        default: return FileException::genericException;
    }
}

FILETIME TimeToFileTime(time_t t) {
    ULARGE_INTEGER value;
    value.QuadPart = (static_cast<unsigned long long>(t) + 11644473600ULL) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = value.LowPart;
    ft.dwHighDateTime = value.HighPart;
    return ft;
}

}  // namespace

File::File() : handle_(INVALID_HANDLE_VALUE) {}
File::~File() { Abort(); }

File::File(File&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
    other.handle_ = INVALID_HANDLE_VALUE;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Abort();
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
}

void File::Open(const std::string& path, unsigned flags) {
    Abort();
    path_ = path;
    DWORD access = GENERIC_READ;
    if ((flags & 3) == modeWrite) access = GENERIC_WRITE;
    if ((flags & 3) == modeReadWrite) access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = (flags & shareDenyWrite) ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate) disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    // A file about to be replaced whole may be read-only, hidden or system, which
    // CREATE_ALWAYS refuses: what was there goes, its attributes with it.
    if (disposition == CREATE_ALWAYS) {
        DWORD old = GetFileAttributesA(path.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY) &&
            (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    auto open = [&] {
        handle_ = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    };
    // A reader waits only while the file is held against reading; for a writer,
    // access denied may be a hold too.
    bool opened = access == GENERIC_READ ? file_system::RetryWhileHeldAgainstReading(open)
                                         : file_system::RetryWhileHeld(open);
    if (!opened) ThrowLastError();
}

bool File::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

void File::ThrowLastError() {
    DWORD error = GetLastError();
    throw FileException(CauseFromOsError(error), static_cast<long>(error), path_);
}

unsigned File::Read(void* buffer, unsigned count) {
    if (count == 0) return 0;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, count, &got, nullptr)) ThrowLastError();
    return got;
}

void File::Write(const void* buffer, unsigned count) {
    if (count == 0) return;
    DWORD written = 0;
    if (!WriteFile(handle_, buffer, count, &written, nullptr)) ThrowLastError();
    if (written != count) throw FileException(FileException::diskFull, ERROR_DISK_FULL, path_);
}

uint64_t File::Seek(int64_t offset, SeekOrigin origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(handle_, distance, &position, static_cast<DWORD>(origin))) ThrowLastError();
    return static_cast<uint64_t>(position.QuadPart);
}

uint64_t File::GetPosition() { return Seek(0, current); }

void File::Truncate() {
    if (!SetEndOfFile(handle_)) ThrowLastError();
}

void File::Flush() {
    if (!FlushFileBuffers(handle_)) ThrowLastError();
}

uint64_t File::GetLength() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) ThrowLastError();
    return static_cast<uint64_t>(size.QuadPart);
}

void File::Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) ThrowLastError();
}

void File::Abort() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

namespace file_system {

std::string NativePath(const std::string& path) { return path; }

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<FolderEntry> EntriesIn(const std::string& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return entries;
}

namespace {

bool Retry(const std::function<bool()>& call, bool (*held)(unsigned long)) {
    DWORD error = ERROR_SUCCESS;
    bool done = file_retry::WhileHeld([&] {
        if (call()) return file_retry::Try::Done;
        error = GetLastError();
        return held(error) ? file_retry::Try::Held : file_retry::Try::Failed;
    });
    // The caller reads why the last try failed.
    if (!done) SetLastError(error);
    return done;
}

}  // namespace

bool RetryWhileHeld(const std::function<bool()>& call) { return Retry(call, file_retry::IsHeld); }

bool RetryWhileHeldAgainstReading(const std::function<bool()>& call) {
    return Retry(call, file_retry::IsHeldAgainstReading);
}

bool CreateFolder(const std::string& path) {
    return RetryWhileHeld([&] { return CreateDirectoryA(path.c_str(), nullptr) != 0; });
}

bool RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RetryWhileHeld([&] { return DeleteFileA(path.c_str()) != 0; });
}

bool RemoveFolder(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RetryWhileHeld([&] { return RemoveDirectoryA(path.c_str()) != 0; });
}

bool FlushToDisk(const std::string& path) {
    // NTFS writes its log up to this point when any handle of the volume is
    // flushed, which commits a rename into the folder with everything before it.
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!RetryWhileHeld([&] {
            handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        }))
        return false;
    bool flushed = FlushFileBuffers(handle) != 0;
    CloseHandle(handle);
    return flushed;
}

uint64_t FreeBytes(const std::string& folder) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return UINT64_MAX;
    return available.QuadPart;
}

bool Rename(const std::string& from, const std::string& to) {
    // A folder cannot be renamed over another; a file replaces what is there, and is
    // on the disk under its new name when the call returns.
    DWORD flags = IsFolder(from) ? 0 : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return RetryWhileHeld([&] { return MoveFileExA(from.c_str(), to.c_str(), flags) != 0; });
}

size_t MaxPathLength() { return MAX_PATH - 1; }

bool SetTimesFromDos(const std::string& path, uint16_t dosDate, uint16_t dosTime) {
    HANDLE h = INVALID_HANDLE_VALUE;
    if (!RetryWhileHeld([&] {
            h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            return h != INVALID_HANDLE_VALUE;
        }))
        return false;
    FILETIME now = TimeToFileTime(time(nullptr));
    FILETIME written = TimeToFileTime(DosToTime(dosDate, dosTime));
    BOOL ok = SetFileTime(h, &now, &now, &written);
    CloseHandle(h);
    return ok != 0;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
    return RetryWhileHeld([&] { return SetFileAttributesA(path.c_str(), attributes) != 0; });
}

void ConvertOemToAnsi(std::string& name) {
    if (!name.empty()) OemToCharBuffA(&name[0], &name[0], static_cast<DWORD>(name.size()));
}

}  // namespace file_system

#else  // POSIX

namespace {

int CauseFromErrno(int error) {
    switch (error) {
        case ENOENT: return FileException::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG: return FileException::badPath;
        case EMFILE:
        case ENFILE: return FileException::tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return FileException::accessDenied;
        case EBADF: return FileException::invalidFile;
        case ENOSPC:
        case EDQUOT: return FileException::diskFull;
        default: return FileException::genericException;
    }
}

}  // namespace

File::File() : fd_(-1) {}
File::~File() { Abort(); }

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Abort();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

void File::Open(const std::string& path, unsigned flags) {
    Abort();
    path_ = path;
    int mode = O_RDONLY;
    if ((flags & 3) == modeWrite) mode = O_WRONLY;
    if ((flags & 3) == modeReadWrite) mode = O_RDWR;
    if (flags & modeCreate) {
        mode |= O_CREAT;
        if (!(flags & modeNoTruncate)) mode |= O_TRUNC;
    }
    std::string native = file_system::NativePath(path);
    // As on Windows, a read-only file about to be replaced whole is replaced.
    struct stat existing;
    if ((mode & O_TRUNC) && ::lstat(native.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        !(existing.st_mode & S_IWUSR))
        ::chmod(native.c_str(), (existing.st_mode & 07777) | S_IWUSR);
    auto open = [&] {
        fd_ = ::open(native.c_str(), mode | O_CLOEXEC, 0644);
        return fd_ >= 0;
    };
    if ((mode & (O_WRONLY | O_RDWR)) != 0)
        file_system::RetryWhileHeld(open);
    else
        file_system::RetryWhileHeldAgainstReading(open);
    if (fd_ >= 0) {
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            errno = EISDIR;
        }
    }
    if (fd_ < 0) ThrowLastError();
}

bool File::IsOpen() const { return fd_ >= 0; }

void File::ThrowLastError() {
    int error = errno;
    throw FileException(CauseFromErrno(error), error, path_);
}

unsigned File::Read(void* buffer, unsigned count) {
    unsigned total = 0;
    while (total < count) {
        ssize_t got = ::read(fd_, static_cast<char*>(buffer) + total, count - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowLastError();
        }
        if (got == 0) break;
        total += static_cast<unsigned>(got);
    }
    return total;
}

void File::Write(const void* buffer, unsigned count) {
    unsigned total = 0;
    while (total < count) {
        ssize_t put = ::write(fd_, static_cast<const char*>(buffer) + total, count - total);
        if (put < 0) {
            if (errno == EINTR) continue;
            ThrowLastError();
        }
        if (put == 0) throw FileException(FileException::diskFull, ENOSPC, path_);
        total += static_cast<unsigned>(put);
    }
}

uint64_t File::Seek(int64_t offset, SeekOrigin origin) {
    int whence = origin == begin ? SEEK_SET : origin == current ? SEEK_CUR : SEEK_END;
    off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (position < 0) {
        int error = errno;
        throw FileException(FileException::badSeek, error, path_);
    }
    return static_cast<uint64_t>(position);
}

uint64_t File::GetPosition() { return Seek(0, current); }

void File::Truncate() {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd_, at) != 0) ThrowLastError();
}

void File::Flush() {
    if (::fsync(fd_) != 0) ThrowLastError();
}

uint64_t File::GetLength() {
    struct stat st;
    if (fstat(fd_, &st) != 0) ThrowLastError();
    return static_cast<uint64_t>(st.st_size);
}

void File::Close() {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowLastError();
}

void File::Abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

namespace file_system {

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(NativePath(path).c_str(), &st) == 0;
}

std::vector<FolderEntry> EntriesIn(const std::string& folder) {
    std::vector<FolderEntry> entries;
    DIR* listing = opendir(NativePath(folder).c_str());
    if (!listing) return entries;
    while (const dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") entries.push_back({name, IsFolder(folder + "\\" + name)});
    }
    closedir(listing);
    return entries;
}

namespace {

bool Retry(const std::function<bool()>& call, bool (*held)(unsigned long)) {
    int error = 0;
    bool done = file_retry::WhileHeld([&] {
        if (call()) return file_retry::Try::Done;
        error = errno;
        return held(static_cast<unsigned long>(error)) ? file_retry::Try::Held : file_retry::Try::Failed;
    });
    if (!done) errno = error;
    return done;
}

}  // namespace

bool RetryWhileHeld(const std::function<bool()>& call) { return Retry(call, file_retry::IsHeld); }

bool RetryWhileHeldAgainstReading(const std::function<bool()>& call) {
    return Retry(call, file_retry::IsHeldAgainstReading);
}

bool CreateFolder(const std::string& path) {
    return RetryWhileHeld([&] { return mkdir(NativePath(path).c_str(), 0755) == 0; });
}

bool RemoveFile(const std::string& path) {
    return RetryWhileHeld([&] { return unlink(NativePath(path).c_str()) == 0; });
}

bool RemoveFolder(const std::string& path) {
    return RetryWhileHeld([&] { return rmdir(NativePath(path).c_str()) == 0; });
}

bool FlushToDisk(const std::string& path) {
    int fd = ::open(NativePath(path).c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

uint64_t FreeBytes(const std::string& folder) {
    struct statvfs volume;
    if (statvfs(NativePath(folder).c_str(), &volume) != 0) return UINT64_MAX;
    return static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
}

bool Rename(const std::string& from, const std::string& to) {
    // rename(2) replaces a file as MoveFileEx does, and refuses to put a folder over
    // one that is not empty, as Windows refuses any.
    std::string target = NativePath(to);
    if (IsFolder(from) && Exists(to)) {
        errno = EEXIST;
        return false;
    }
    return RetryWhileHeld([&] { return ::rename(NativePath(from).c_str(), target.c_str()) == 0; });
}

size_t MaxPathLength() { return PATH_MAX - 1; }

bool SetTimesFromDos(const std::string& path, uint16_t dosDate, uint16_t dosTime) {
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[1].tv_sec = DosToTime(dosDate, dosTime);
    times[1].tv_usec = 0;
    return utimes(NativePath(path).c_str(), times) == 0;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
    std::string native = NativePath(path);
    struct stat st;
    if (stat(native.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & 0x01) ? (mode & ~0222) : (mode | 0200);
    return chmod(native.c_str(), mode) == 0;
}

// The native build serves tests and tools on text already in one code page.
void ConvertOemToAnsi(std::string&) {}

}  // namespace file_system

#endif
