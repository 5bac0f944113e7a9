// The floor for extraction speed: inflate and CRC-32 every entry of an archive
// into memory with zlib alone, reading the archive from one buffer. Prints the
// seconds it took. Used by archive_bench.py; not a general tool.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <zlib.h>

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) return 3;
    std::vector<unsigned char> data;
    unsigned char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);

    auto start = std::chrono::steady_clock::now();
    size_t end = data.size() - 22;
    while (Le32(&data[end]) != 0x06054B50) --end;
    unsigned count = Le16(&data[end + 10]);
    size_t at = Le32(&data[end + 16]);
    std::vector<unsigned char> out(1 << 16);
    uint64_t produced = 0;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char* h = &data[at];
        uint16_t method = Le16(h + 10);
        uint32_t compressed = Le32(h + 20);
        size_t local = Le32(h + 42);
        at += 46 + Le16(h + 28) + Le16(h + 30) + Le16(h + 32);
        const unsigned char* l = &data[local];
        const unsigned char* body = l + 30 + Le16(l + 26) + Le16(l + 28);
        uint32_t crc = 0;
        if (method == 0) {
            crc = crc32(crc, body, compressed);
            produced += compressed;
            continue;
        }
        z_stream s = {};
        inflateInit2(&s, -MAX_WBITS);
        s.next_in = const_cast<unsigned char*>(body);
        s.avail_in = compressed;
        int result;
        do {
            s.next_out = out.data();
            s.avail_out = static_cast<uInt>(out.size());
            result = inflate(&s, Z_SYNC_FLUSH);
            crc = crc32(crc, out.data(), static_cast<uInt>(out.size() - s.avail_out));
        } while (result == Z_OK);
        produced += s.total_out;
        inflateEnd(&s);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f %llu\n", seconds, static_cast<unsigned long long>(produced));
    return 0;
}
