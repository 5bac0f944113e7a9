// Builds PKZIP archives byte for byte for the reader's tests, including the odd
// and hostile ones: every field can be chosen, and offsets are reported so that a
// test can damage exactly one byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive_entry_info.h"
#include "archive/pkware_cipher.h"

namespace zip_builder {

inline void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void Set32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Set16(std::string& out, size_t at, uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

// Raw deflate; with `tail`, the data is flushed before the stream is finished, so
// that the last compressed bytes produce no output.
inline std::string Deflate(const std::string& data, int level = 6, bool tail = false) {
    z_stream s = {};
    deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, data.size()) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(&out[0]);
    s.avail_out = static_cast<uInt>(out.size());
    if (tail) deflate(&s, Z_SYNC_FLUSH);
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

inline uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Entry {
    std::string name;
    std::string data;
    uint16_t method = kMethodDeflated;
    uint16_t flag = 0;
    uint32_t externalAttributes = ArchiveEntryInfo::kAttributeArchive;
    uint16_t modTime = (12 << 11) | (34 << 5) | (56 / 2);  // 12:34:56
    uint16_t modDate = ((2006 - 1980) << 9) | (12 << 5) | 31;  // 2006-12-31
    bool descriptorSignature = true;
    std::string password;
    bool tail = false;         // see Deflate
    std::string compressed;    // when set, used instead of compressing `data`
};

inline Entry Named(const std::string& name, const std::string& data, uint16_t method = kMethodDeflated) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

class Builder {
 public:
    void Add(const Entry& entry) { entries_.push_back(entry); }

    std::string Build(const std::string& prefix = "", const std::string& comment = "") {
        std::string out = prefix;
        std::string directory;
        localOffsets.clear();
        for (const Entry& e : entries_) {
            std::string body = e.compressed;
            if (body.empty() && !e.data.empty())
                body = e.method == kMethodDeflated ? Deflate(e.data, 6, e.tail) : e.data;
            if (body.empty() && e.method == kMethodDeflated) body = Deflate("", 6, false);
            uint32_t crc = Crc(e.data);
            uint16_t flag = e.flag;
            if (!e.password.empty()) {
                flag |= ArchiveEntryInfo::kFlagEncrypted;
                PkwareCipher cipher(e.password);
                std::string header(12, 'h');
                bool described = (flag & ArchiveEntryInfo::kFlagDataDescriptor) != 0;
                header[11] = static_cast<char>(described ? (e.modTime >> 8) : (crc >> 24));
                std::string plain = header + body;
                cipher.Encrypt(reinterpret_cast<unsigned char*>(&plain[0]), plain.size());
                body = plain;
            }
            bool descriptor = (flag & ArchiveEntryInfo::kFlagDataDescriptor) != 0;
            uint32_t offset = static_cast<uint32_t>(out.size() - prefix.size());
            localOffsets.push_back(out.size());
            Put32(out, 0x04034B50);
            Put16(out, 20);
            Put16(out, flag);
            Put16(out, e.method);
            Put16(out, e.modTime);
            Put16(out, e.modDate);
            Put32(out, descriptor ? 0 : crc);
            Put32(out, descriptor ? 0 : static_cast<uint32_t>(body.size()));
            Put32(out, descriptor ? 0 : static_cast<uint32_t>(e.data.size()));
            Put16(out, static_cast<uint32_t>(e.name.size()));
            Put16(out, 0);
            out += e.name;
            out += body;
            if (descriptor) {
                if (e.descriptorSignature) Put32(out, 0x08074B50);
                Put32(out, crc);
                Put32(out, static_cast<uint32_t>(body.size()));
                Put32(out, static_cast<uint32_t>(e.data.size()));
            }
            Put32(directory, 0x02014B50);
            Put16(directory, 20);
            Put16(directory, 20);
            Put16(directory, flag);
            Put16(directory, e.method);
            Put16(directory, e.modTime);
            Put16(directory, e.modDate);
            Put32(directory, crc);
            Put32(directory, static_cast<uint32_t>(body.size()));
            Put32(directory, static_cast<uint32_t>(e.data.size()));
            Put16(directory, static_cast<uint32_t>(e.name.size()));
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put32(directory, e.externalAttributes);
            Put32(directory, offset);
            directory += e.name;
        }
        directoryOffset = out.size();
        out += directory;
        endOffset = out.size();
        Put32(out, 0x06054B50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, static_cast<uint32_t>(entries_.size()));
        Put16(out, static_cast<uint32_t>(entries_.size()));
        Put32(out, static_cast<uint32_t>(directory.size()));
        Put32(out, static_cast<uint32_t>(directoryOffset - prefix.size()));
        Put16(out, static_cast<uint32_t>(comment.size()));
        out += comment;
        return out;
    }

    std::vector<size_t> localOffsets;
    size_t directoryOffset = 0;
    size_t endOffset = 0;

 private:
    std::vector<Entry> entries_;
};

}  // namespace zip_builder
