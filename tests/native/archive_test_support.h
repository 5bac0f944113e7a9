// What the archive extraction cases share: reproducible noise and an archive on
// disk, open in a reader, with a folder to extract into.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_reader.h"
#include "tests/native/scratch.h"

namespace archive_test {

// Bytes that deflate cannot shrink, the same for the same seed.
inline std::string Noise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = static_cast<char>(seed >> 16);
    }
    return out;
}

struct Opened {
    static constexpr int kNoException = 0;

    explicit Opened(const std::string& bytes) {
        scratch::WriteBytes(source / "package.cvz", bytes);
        reader.Open((source / "package.cvz").c_str(), ArchiveReader::OpenExisting, 0);
    }
    bool Extract(int index, bool fullPath = true, unsigned bufferSize = 65535) {
        return reader.ExtractFile(index, target.path().c_str(), fullPath, nullptr, nullptr, nullptr, bufferSize);
    }
    // The cause of the CZipException that extraction raised, or kNoException.
    int ExtractCause(int index) {
        try {
            Extract(index);
        } catch (const CZipException& e) {
            reader.Close(true);
            return e.cause;
        }
        return kNoException;
    }
    scratch::Folder source;
    scratch::Folder target;
    ArchiveReader reader;
};

}  // namespace archive_test
