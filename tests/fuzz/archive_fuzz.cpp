// libFuzzer target: any bytes as a package, opened and every entry extracted into a
// scratch folder, as the installer would. Errors must be clean exceptions or false
// results, and nothing may be written outside the scratch folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "archive/archive_reader.h"

namespace {

const std::string& WorkFolder() {
    static const std::string folder = "/tmp/vl2-fuzz-" + std::to_string(getpid());
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    const std::string base = WorkFolder();
    const std::string archive = base + "/in.cvz";
    const std::string target = base + "/out/inner";
    std::error_code ignored;
    fs::remove_all(base, ignored);
    fs::create_directories(target);
    if (FILE* f = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ArchiveReader reader;
    try {
        reader.Open(archive.c_str(), ArchiveReader::OpenExisting, 0);
        for (int i = 0; i < reader.GetCount() && i < 64; ++i) {
            try {
                reader.ExtractFile(i, target.c_str(), true, nullptr, nullptr, nullptr, 65535);
            } catch (const Exception&) {
                reader.Close(true);
                reader.Open(archive.c_str(), ArchiveReader::OpenExisting, 0);
            }
        }
        reader.Close();
    } catch (const Exception&) {
        reader.Close(true);
    }
    // Everything written must be below the target folder.
    for (const fs::directory_entry& entry : fs::directory_iterator(base + "/out")) {
        if (entry.path().filename() != "inner") __builtin_trap();
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(base)) {
        std::string name = entry.path().filename().string();
        if (name != "in.cvz" && name != "out") __builtin_trap();
    }
    return 0;
}
