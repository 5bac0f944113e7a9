// A temporary folder of a release's own, for what it extracts and examines on the
// way (the package checked with the installer's reader, programs and their
// signatures), removed with everything in it when the release ends, however it ends.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cvztool/site_files.h"

class ScratchFolder {
 public:
    ScratchFolder() {
        const char* temp = std::getenv("TMPDIR");
        std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/cvztool-check-XXXXXX";
        if (!::mkdtemp(&pattern[0]))
            site_files::Refuse("no temporary folder for checking the release: " + std::string(std::strerror(errno)));
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

    // A file the release wrote into its scratch folder (or a program of the folder
    // being released), read whole; refused when it cannot be read.
    static std::string ReadWhole(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        if (!in) site_files::Refuse("\"" + file + "\" cannot be read");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

 private:
    std::string path_;
};
