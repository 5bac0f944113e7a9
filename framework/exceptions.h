// The small exception hierarchy the installer relies on. Exceptions are thrown by
// value and caught by reference; a catcher tells the kinds apart by type.
#pragma once

#include <string>

class Exception {
 public:
    virtual ~Exception() = default;
};

// A failure of the file layer, carrying the framework-style cause, the operating
// system's error code and the path concerned.
class FileException : public Exception {
 public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    FileException(int cause, long osError, std::string fileName)
        : cause(cause), osError(osError), fileName(std::move(fileName)) {}

    int cause;
    long osError;
    std::string fileName;
};
