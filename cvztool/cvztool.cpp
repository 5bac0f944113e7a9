// cvztool: the release engineer's tool. Reads ".cvz" packages with the installer's
// own archive reader, and (natively) packs, signs and publishes releases.
//
//   cvztool list ARCHIVE             index, method, sizes, crc-32 and name per entry
//   cvztool extract ARCHIVE FOLDER   every entry, in order, as the installer does
//   cvztool test ARCHIVE             reads and checks every entry, writes nothing
//   cvztool keygen|pubkey|sign|verify ...   release keys and signatures
//   cvztool pack FOLDER PACKAGE      a package of the folder (native only)
//   cvztool release ...              pack, check, sign and lay out a site (native only)
//   cvztool rollout SITE PERCENT     the share of machines that take the site's release (native only)
//   cvztool report [--svg FILE] LOG...   adoption per version from nginx's report logs (native only)
//
// list and test open the package read-only, so that they work on a package the user
// may not write (a read-only file, another user's file, one on a read-only share).
//
// Exit codes: 0 all entries fine, 1 some entries skipped, 2 archive error (cause on
// standard error), 3 file error, 64 usage.
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/archive_reader.h"
#include "cvztool/release_keys.h"
#if !defined(_WIN32)
#include "cvztool/package_writer.h"
#include "cvztool/release_command.h"
#include "cvztool/report_command.h"
#include "cvztool/rollout_command.h"
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: cvztool list ARCHIVE | extract ARCHIVE FOLDER | test ARCHIVE\n"
                 "       cvztool keygen KEYFILE | pubkey KEYFILE | sign KEYFILE PACKAGE VERSION\n"
                 "       cvztool verify PUBLICKEY PACKAGE MANIFEST\n"
                 "       cvztool pack FOLDER PACKAGE.cvz\n"
                 "       cvztool release --key KEYFILE --version V --from FOLDER --site SITE --base-url URL\n"
                 "                       [--date YYYYMMDD] [--comment TEXT] [--allow-older] [--rollout PERCENT]\n"
                 "                       [--require-authenticode CAFILE]\n"
                 "       cvztool rollout SITE PERCENT\n"
                 "       cvztool report [--svg FILE] LOG...\n");
    return 64;
}

int Run(ArchiveReader& reader, const std::string& command, const char* archive, const char* folder) {
    reader.Close();
    reader.Open(archive, command == "extract" ? ArchiveReader::OpenExisting : ArchiveReader::OpenReadOnly, 0);
    int count = reader.GetCount();
    bool allFine = true;
    for (int i = 0; i < count; ++i) {
        ArchiveEntryInfo info;
        reader.GetEntryInfo(i, info);
        if (command == "list") {
            std::printf("%d\t%u\t%u\t%u\t%08x\t%s\n", i, info.method, info.compressedSize, info.uncompressedSize,
                        info.crc32, info.GetFileName().c_str());
            continue;
        }
        bool ok = command == "extract" ? reader.ExtractFile(i, folder, true, nullptr, nullptr, nullptr, 65535)
                                       : reader.TestFile(i, 65535);
        if (!ok) {
            allFine = false;
            std::printf("skipped\t%d\t%s\n", i, info.GetFileName().c_str());
        }
    }
    reader.Close();
    return allFine ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int releaseExit = release_keys::RunReleaseCommand(argc, argv);
    if (releaseExit >= 0) return releaseExit;
#if !defined(_WIN32)
    // Making packages is the vendor's side and runs natively only.
    if (argc >= 2 && std::strcmp(argv[1], "pack") == 0) return package_writer::RunPackCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "release") == 0)
        return release_command::RunReleaseCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "rollout") == 0)
        return rollout_command::RunRolloutCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "report") == 0) return report_command::RunReportCommand(argc - 2, argv + 2);
#endif
    if (argc < 3) return Usage();
    std::string command = argv[1];
    if (!((command == "list" && argc == 3) || (command == "test" && argc == 3) || (command == "extract" && argc == 4)))
        return Usage();
    ArchiveReader reader;
    try {
        return Run(reader, command, argv[2], argc == 4 ? argv[3] : nullptr);
    } catch (const CZipException& e) {
        reader.Close(true);
        std::fprintf(stderr, "archive error: cause %d\n", e.cause);
        return 2;
    } catch (const FileException& e) {
        reader.Close(true);
        std::fprintf(stderr, "file error: cause %d, system error %ld, %s\n", e.cause, e.osError, e.fileName.c_str());
        return 3;
    }
}
