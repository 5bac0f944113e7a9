#include "archive/zip_exception.h"

int CZipException::CauseFromCode(int code) {
    switch (code) {
        case 1: return ZipCauseStreamEnd;
        case 2: return ZipCauseNeedDict;
        case -1: return ZipCauseErrno;
        case -2: return ZipCauseStreamError;
        case -3: return ZipCauseDataError;
        case -4: return ZipCauseMemError;
        case -5: return ZipCauseBufError;
        case -6: return ZipCauseVersionError;
        case kCorruptArchive: return ZipCauseCorruptArchive;
        case kCrcMismatch: return ZipCauseCrcMismatch;
        case kNoVolumeCallback: return ZipCauseNoVolumeCallback;
        case kVolumeRefused: return ZipCauseVolumeRefused;
        case kDriveNotRemovable: return ZipCauseDriveNotRemovable;
        case kTooManyVolumes: return ZipCauseTooManyVolumes;
        case kReserved: return ZipCauseReserved16;
        case kBadPassword: return ZipCauseBadPassword;
        case kEndRecordMissing: return ZipCauseEndRecordMissing;
        default: return ZipCauseGeneric;
    }
}

void CZipException::Raise(int code, const std::string& fileName) { throw CZipException(CauseFromCode(code), fileName); }
