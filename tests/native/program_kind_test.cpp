// Which files of a release are Windows programs, and which of those carry a
// signature, from their names and first bytes.
#include <string>

#include "tests/check.h"
#include "cvztool/authenticode.h"

using authenticode::ProgramKind;

namespace {

// A program's headers: "MZ" pointing at "PE\0\0" at 0x80, an optional header of the
// given kind with `directories` data directories, and a certificate table of the
// given size.
std::string Program(uint16_t magic, uint32_t certificateBytes, uint32_t directories = 16) {
    std::string bytes(0x400, '\0');
    auto put = [&](size_t at, uint32_t value) { bytes.replace(at, 4, std::string(reinterpret_cast<char*>(&value), 4)); };
    size_t table = 0x80 + 24 + (magic == 0x20B ? 112 : 96);
    put(0, 0x5A4D), put(0x3C, 0x80), put(0x80, 0x4550), put(0x80 + 24, magic);
    put(table - 4, directories), put(table + 4 * 8 + 4, certificateBytes);
    return bytes;
}

}  // namespace

TEST_CASE(program_files, programs_are_told_by_name_or_headers_and_signed_ones_by_their_certificate_table) {
    struct Row {
        const char* name;
        std::string bytes;
        ProgramKind kind;
    } rows[] = {
        {"BIN/Cubelet.exe", Program(0x10B, 0), ProgramKind::unsignedProgram},
        {"BIN/Cubelet.exe", Program(0x10B, 0x1F00), ProgramKind::signedProgram},
        {"BIN/plugin.DLL", Program(0x20B, 0x1F00), ProgramKind::signedProgram},
        {"SKIN/CORE/widget.bin", Program(0x10B, 0x800), ProgramKind::signedProgram},
        {"SKIN/CORE/widget.bin", Program(0x20B, 0), ProgramKind::unsignedProgram},
        {"BIN/old.exe", Program(0x10B, 0x800, 4), ProgramKind::unsignedProgram},  // no room for the table
        {"BIN/broken.exe", "MZ" + std::string(500, '\x90'), ProgramKind::unsignedProgram},
        {"BIN/empty.dll", "", ProgramKind::unsignedProgram},
        {"SKIN/CORE/mz.txt", "MZ: a text that begins so", ProgramKind::notAProgram},
        {"SKIN/CORE/cut.bin", Program(0x10B, 0x800).substr(0, 0x90), ProgramKind::notAProgram},
        {"BIN/readme.exe.txt", "", ProgramKind::notAProgram},
    };
    for (const Row& row : rows) {
        ProgramKind kind = authenticode::KindOf(row.name, [&](uint64_t offset, size_t length) {
            return offset < row.bytes.size() ? row.bytes.substr(offset, length) : std::string();
        });
        if (kind != row.kind) check::Fail(__FILE__, __LINE__, std::string(row.name) + " is taken for another kind");
    }
}
