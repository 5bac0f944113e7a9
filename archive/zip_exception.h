// The archive reader's own error: a cause from the fixed table below and the path
// of the archive (or volume) concerned. Internal codes are zlib's return codes and
// the reader's own -101 to -109; one function maps them to the cause.
#pragma once

#include <string>

#include "framework/exceptions.h"

class CZipException : public Exception {
 public:
    enum Cause {
        ZipCauseGeneric = 1,
        ZipCauseStreamEnd = 2,
        ZipCauseNeedDict = 3,
        ZipCauseErrno = 4,
        ZipCauseStreamError = 5,
        ZipCauseDataError = 6,
        ZipCauseMemError = 7,
        ZipCauseBufError = 8,
        ZipCauseVersionError = 9,
        ZipCauseCorruptArchive = 10,
        ZipCauseCrcMismatch = 11,
        ZipCauseNoVolumeCallback = 12,
        ZipCauseVolumeRefused = 13,
        ZipCauseDriveNotRemovable = 14,
        ZipCauseTooManyVolumes = 15,
        ZipCauseReserved16 = 16,
        ZipCauseBadPassword = 17,
        ZipCauseEndRecordMissing = 18,
    };

    // The reader's own internal codes.
    enum Code {
        kCorruptArchive = -101,
        kCrcMismatch = -102,
        kNoVolumeCallback = -103,
        kVolumeRefused = -104,
        kDriveNotRemovable = -105,
        kTooManyVolumes = -106,
        kReserved = -107,
        kBadPassword = -108,
        kEndRecordMissing = -109,
    };

    CZipException(int cause, std::string fileName) : cause(cause), fileName(std::move(fileName)) {}

    static int CauseFromCode(int code);
    // Maps `code` and throws.
    [[noreturn]] static void Raise(int code, const std::string& fileName);

    int cause;
    std::string fileName;
};
