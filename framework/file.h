// A plain file object and the few file-system calls the archive reader and the
// installer need. Paths are ANSI texts with backslash separators, as on Windows;
// the POSIX side maps the separators so that the same code runs natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/exceptions.h"

class File {
 public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekOrigin { begin = 0, current = 1, end = 2 };

    File();
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // The open file moves with the object: whoever checked its bytes can hand the
    // very handle on to whoever reads them next.
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Throws FileException when the file cannot be opened.
    void Open(const std::string& path, unsigned flags);
    bool IsOpen() const;
    const std::string& GetFilePath() const { return path_; }

    // Returns the number of bytes read (less at the end of the file).
    unsigned Read(void* buffer, unsigned count);
    // Writes everything or throws (a short write is a full disk).
    void Write(const void* buffer, unsigned count);
    uint64_t Seek(int64_t offset, SeekOrigin origin);
    uint64_t GetPosition();
    uint64_t GetLength();
    // Ends the file at the current position.
    void Truncate();
    // Puts what was written on the disk itself, not only in the system's cache: a
    // power cut after this keeps it.
    void Flush();
    void Close();
    // Closes without throwing, for clean-up after a failure.
    void Abort();

 private:
    [[noreturn]] void ThrowLastError();
#if defined(_WIN32)
    void* handle_;
#else
    int fd_;
#endif
    std::string path_;
};

namespace file_system {

// The path as the operating system takes it (separators mapped on POSIX).
std::string NativePath(const std::string& path);

bool IsFolder(const std::string& path);
bool Exists(const std::string& path);
// One entry of a folder's listing, and whether the listing called it a folder.
struct FolderEntry {
    std::string name;
    bool isFolder;
};
// The files and folders in `folder`, "." and ".." aside; none when it cannot be
// listed.
std::vector<FolderEntry> EntriesIn(const std::string& folder);

// Runs `call` (a system call that sets the system's last error when it returns
// false) under file_retry's rule: tried again while another process holds the file.
// Creating, replacing, renaming and deleting below all go through it, and so does
// File::Open for writing.
bool RetryWhileHeld(const std::function<bool()>& call);
// The same for a call that only reads (file_retry::IsHeldAgainstReading).
bool RetryWhileHeldAgainstReading(const std::function<bool()>& call);

bool CreateFolder(const std::string& path);
// Deletes a file, read-only or not.
bool RemoveFile(const std::string& path);
// Removes an empty folder.
bool RemoveFolder(const std::string& path);
// The bytes a user may still write on the volume that holds `folder`; the largest
// value when it cannot be told, so that a question left open stops nothing.
uint64_t FreeBytes(const std::string& folder);

// Puts a file's bytes, or a folder's own entries (the names in it, a rename into
// it), on the disk itself; false when the system cannot be asked to.
bool FlushToDisk(const std::string& path);

// Gives a file or folder another name in the same volume. A file replaces one of
// that name (and is on the disk under the new name when this returns); a folder
// never replaces anything.
bool Rename(const std::string& from, const std::string& to);
// The longest path the platform accepts, terminator excluded.
size_t MaxPathLength();

// Last-write time from an MS-DOS date and time read as local time; creation and
// last-access time become "now". Returns false when the times cannot be set.
bool SetTimesFromDos(const std::string& path, uint16_t dosDate, uint16_t dosTime);
// The Windows file attributes; on POSIX only the read-only bit has a meaning.
bool SetAttributes(const std::string& path, uint32_t attributes);

// Converts a name stored in the OEM code page to the ANSI code page, in place.
void ConvertOemToAnsi(std::string& name);

}  // namespace file_system
