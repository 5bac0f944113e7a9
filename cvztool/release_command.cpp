#include "cvztool/release_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>

#include "app/install_paths.h"
#include "app/version_text.h"
#include "archive/archive_reader.h"
#include "framework/text.h"
#include "net/manifest.h"
#include "install/changed_files.h"
#include "release/file_list.h"
#include "release/package_limits.h"
#include "release/release_signature.h"
#include "cvztool/file_list_builder.h"
#include "cvztool/package_writer.h"
#include "cvztool/release_programs.h"
#include "cvztool/release_signing.h"
#include "cvztool/scratch_folder.h"
#include "cvztool/release_version.h"
#include "cvztool/site_files.h"

namespace fs = std::filesystem;
using site_files::kFilesFolder;
using site_files::kManifestName;
using site_files::kUpdateFolder;
using site_files::LockSite;
using site_files::PendingFile;
using site_files::Quoted;
using site_files::Refuse;
using site_files::SiteFile;
using site_files::WriteNewFile;

namespace release_command {

namespace {

// The installer refuses an entry whose path, in its ANSI form, is longer than this;
// and a 64-bit Windows puts 32-bit programs in the longest Program Files folder.
constexpr size_t kLongestWindowsPath = 259;
const char kLongestProgramFiles[] = "C:\\Program Files (x86)";

std::string InCodePage949(const std::string& utf8, const char* what) {
    try {
        return package_writer::ToCodePage949(utf8);
    } catch (const package_writer::PackError& e) {
        Refuse(std::string("the ") + what + ": " + e.what());
    }
}

std::string Today() {
    time_t now = std::time(nullptr);
    struct tm local;
    char buffer[16] = "";
    if (localtime_r(&now, &local)) std::strftime(buffer, sizeof buffer, "%Y%m%d", &local);
    return buffer;
}

std::string CheckedBaseUrl(const std::string& url) {
    std::string base = text::TrimRightAny(url, "/");
    if (base.compare(0, 7, "http://") != 0 && base.compare(0, 8, "https://") != 0)
        Refuse("the base URL " + Quoted(url) + " does not begin with http:// or https://");
    for (unsigned char c : base)
        if (c <= 0x20 || c >= 0x7F) Refuse("the base URL " + Quoted(url) + " holds a blank or a character to escape");
    return base;
}

// The manifest must read back through the installer's parser as exactly what was
// asked for: the parser trims values and removes key texts wherever they occur,
// and a line break inside a value would end the line.
void CheckReadsBack(const std::string& manifest, const UpdateManifest& wanted) {
    UpdateManifest read;
    if (!ParseManifest(manifest, read)) Refuse("the manifest would not be read as one");
    struct Field {
        const char* name;
        const std::string& got;
        const std::string& expected;
    } fields[] = {{"version", read.version, wanted.version},
                  {"date", read.date, wanted.date},
                  {"comment", read.comment, wanted.comment},
                  {"download address", read.downloadUrl, wanted.downloadUrl},
                  {"file list address", read.fileListUrl, wanted.fileListUrl},
                  {"rollout", read.rollout, wanted.rollout},
                  {"fallback version", read.fallback.version, wanted.fallback.version},
                  {"fallback date", read.fallback.date, wanted.fallback.date},
                  {"fallback download address", read.fallback.downloadUrl, wanted.fallback.downloadUrl},
                  {"fallback digest", read.fallback.sha256, wanted.fallback.sha256},
                  {"fallback signature", read.fallback.signature, wanted.fallback.signature}};
    for (const Field& field : fields)
        if (field.got != field.expected)
            Refuse(std::string("the installer would read the ") + field.name + " " + Quoted(field.expected) + " as " +
                   Quoted(field.got));
    if (read.hasRollout != wanted.hasRollout) Refuse("the installer would not read the rollout line as written");
}

// The percentage that --rollout gives; every machine without it.
int CheckedRollout(const std::string& rollout) {
    int percentage = kEveryMachine;
    if (!rollout.empty() && !ReadRolloutPercentage(rollout, percentage))
        Refuse("the rollout " + Quoted(rollout) + " is not an integer from 0 to 100");
    return percentage;
}

// What SITE publishes before this release: no manifest, one the installer reads,
// or a file it does not read as one.
struct Published {
    bool exists = false;
    bool readable = false;
    UpdateManifest manifest;
};

Published ReadPublished(const fs::path& site) {
    Published published;
    std::optional<SiteFile> file = SiteFile::Open(site, site_files::ManifestInSite());
    published.exists = file.has_value();
    // One larger than the installer reads is no manifest, and --allow-older replaces it.
    published.readable = file && file->Size() <= site_files::kLargestManifestBytes &&
                         ParseManifest(file->ReadWhole(site_files::kLargestManifestBytes), published.manifest);
    return published;
}

// The release that machines outside a partial rollout take: SITE's current release
// when every machine has it, or the fallback SITE's current partial release already
// names. It must be one the programs install: signed with this key, and older than
// the new release.
OfferedRelease FallbackFor(const Published& site, const fs::path& manifestPath, const std::string& version,
                          const release_signing::PrivateKey& key) {
    if (!site.readable) return {};
    const UpdateManifest& published = site.manifest;
    bool wholeRollout = RolloutPercentage(published) >= kEveryMachine;
    if (!wholeRollout && !HasFallback(published)) return {};
    OfferedRelease fallback = wholeRollout ? ManifestRelease(published) : published.fallback;
    if (!version_text::IsOlder(fallback.version, version))
        Refuse("the fallback " + Quoted(fallback.version) + " that machines outside the rollout would take is not "
               "older than " + Quoted(version));
    std::string publicKey;
    try {
        publicKey = release_signing::PublicKeyOf(key);
    } catch (const release_signing::SigningError& e) {
        Refuse("the key's public half cannot be made: " + e.message);
    }
    release_signature::ReleaseCheck check =
        release_signature::VerifyRelease(publicKey, fallback.version, fallback.sha256, fallback.signature);
    if (check != release_signature::ReleaseCheck::ok)
        Refuse("the fallback " + Quoted(fallback.version) + " in " + Quoted(manifestPath.string()) +
               " would never be installed: " + release_signature::Describe(check));
    return fallback;
}

// The rollout line and, below 100, the fallback's lines, each ending in LF.
std::string RolloutLines(const std::string& rollout, const OfferedRelease& fallback) {
    if (rollout.empty()) return "";
    std::string lines = "rollout=" + rollout + "\n";
    if (fallback.version.empty()) return lines;
    return lines + "fallback-version=" + fallback.version + "\nfallback-date=" + fallback.date +
           "\nfallback-download=" + fallback.downloadUrl + "\nfallback-sha256=" + fallback.sha256 +
           "\nfallback-signature=" + fallback.signature + "\n";
}

// A release must be newer than the site's, as the installer compares them, or no
// machine would take it; the engineer can insist, for a withdrawal.
void CheckNewerThanPublished(const Published& site, const fs::path& manifestPath, const std::string& version,
                             bool allowOlder) {
    if (allowOlder || !site.exists) return;
    if (!site.readable)
        Refuse(Quoted(manifestPath.string()) + " is not a manifest the installer reads; --allow-older replaces it");
    if (!version_text::IsOlder(site.manifest.version, version))
        Refuse("version " + Quoted(version) + " is not newer than the published " + Quoted(site.manifest.version) +
               " (their first four characters compare byte by byte, as the installer compares them); "
               "--allow-older publishes it anyway");
}

// Extracts every entry with the installer's own reader, as the installer will,
// checks that each would fit the installer's path limit on any Windows machine, and
// returns what was extracted as the release's file list.
file_list::FileList CheckWithInstallerReader(const std::string& package, const std::string& version,
                                             unsigned expectedEntries) {
    ScratchFolder scratch;
    std::string installFolder = install_paths::VersionFolder(kLongestProgramFiles, version);
    file_list::FileList list;
    try {
        list = file_list_builder::ListOfPackage(package, version, scratch.path(), [&](const std::string& name) {
            if (installFolder.size() + 1 + name.size() > kLongestWindowsPath)
                Refuse(Quoted(name) + " would be installed as a path longer than Windows takes (" +
                       std::to_string(kLongestWindowsPath) + " characters under " + installFolder + ")");
        });
    } catch (const release_signing::SigningError& e) {
        Refuse(e.message);
    } catch (const CZipException& e) {
        Refuse(text::Format("the installer's reader cannot read the package: archive error cause %d", e.cause));
    } catch (const FileException& e) {
        Refuse(text::Format("the installer's reader cannot extract the package: file error cause %d, %s", e.cause,
                            e.fileName.c_str()));
    }
    if (list.entries.size() != expectedEntries)
        Refuse(text::Format("the installer's reader finds %u entries in the package, not %u",
                            static_cast<unsigned>(list.entries.size()), expectedEntries));
    return list;
}

// A package of another size is not read at all; one of the same size, as a stream.
bool SameBytes(const SiteFile& published, const file_list::FileList& list) {
    return published.Size() == list.packageSize && published.Sha256() == list.packageSha256;
}

void CreateFolders(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) Refuse(Quoted(folder.string()) + " cannot be created: " + error.message());
}

// What an update from the release SITE publishes now will fetch of this one: the
// files whose content differs, by the two signed lists, the ranges of the package
// that hold them, the list itself and the package's end and directory. "" when
// SITE publishes no release with a list this key signed.
std::string UpdateCostFrom(const Published& site, const fs::path& siteFolder, const std::string& publicKey,
                           const file_list::FileList& list, const std::string& package, size_t listBytes) {
    if (!site.readable || !version_text::IsPlainFileName(site.manifest.version)) return "";
    const UpdateManifest& published = site.manifest;
    std::optional<std::string> oldList = site_files::ReadSiteFile(
        siteFolder, fs::path(kFilesFolder) / file_list::ListFileName(published.version), site_files::kLargestListBytes);
    file_list::FileList installed;
    if (!oldList || file_list::ReadList(*oldList, publicKey, published.version, published.sha256, installed) !=
                        file_list::ListCheck::ok)
        return "";
    ArchiveReader reader;
    reader.Open(package.c_str(), ArchiveReader::OpenReadOnly, 0);
    std::map<std::string, int> indexOf = install::EntriesByName(reader);
    uint64_t directory = 0;  // where the last entry's range ends: the directory
    for (int i = 0; i < reader.GetCount(); ++i) {
        install::ByteRange extent{0, 0};
        if (install::EntryRange(reader, i, list.packageSize, extent)) directory = std::max(directory, extent.last + 1);
    }
    install::UpdateCost cost = install::CostFrom(installed, list, [&](const std::string& name, install::ByteRange& extent) {
        auto found = indexOf.find(name);
        return found != indexOf.end() && install::EntryRange(reader, found->second, list.packageSize, extent);
    });
    reader.Close();
    uint64_t fetched = cost.entryBytes + listBytes + (list.packageSize - directory);
    return text::Format("An update from %s fetches %u of %u files: %llu bytes with the list and directory, "
                        "%.1f %% of the %llu-byte package.\n",
                        published.version.c_str(), cost.files, static_cast<unsigned>(list.entries.size()),
                        static_cast<unsigned long long>(fetched), 100.0 * fetched / list.packageSize,
                        static_cast<unsigned long long>(list.packageSize));
}

}  // namespace

std::string ManifestText(const std::string& version, const std::string& date, const std::string& comment,
                         const std::string& downloadUrl, const std::string& fileListUrl,
                         const std::string& signedLines) {
    return "version=" + version + "\ndate=" + date + "\ncomment=" + comment + "\ndownload=" + downloadUrl +
           "\nfilelist=" + fileListUrl + "\n" + signedLines;
}

PublishedRelease Publish(const ReleaseOptions& options) {
    // Everything that can be refused without packing is refused first.
    const std::string& version = options.version;
    if (!version_text::IsPlainFileName(version))
        Refuse("the installer refuses the version " + Quoted(version) + " (it names a folder and a file)");
    // The version names the package in the download address, which the installer
    // passes to the system as it is.
    if (!release_version::IsAddressSafe(version))
        Refuse("the version " + Quoted(version) + " must be letters, digits, dots, hyphens and underscores, "
               "so that the download address carries it as it is");
    UpdateManifest fields;
    fields.version = version;
    fields.date = options.date.empty() ? Today() : InCodePage949(options.date, "date");
    fields.comment = InCodePage949(options.comment, "comment");
    std::string baseUrl = CheckedBaseUrl(options.baseUrl);
    fields.downloadUrl = baseUrl + "/" + kFilesFolder + "/" + version + ".cvz";
    fields.fileListUrl = baseUrl + "/" + kFilesFolder + "/" + file_list::ListFileName(version);
    int percentage = CheckedRollout(options.rollout);
    CheckReadsBack(ManifestText(fields.version, fields.date, fields.comment, fields.downloadUrl, fields.fileListUrl, ""),
                   fields);

    fs::path site(options.site);
    fs::path filesFolder = site / kFilesFolder;
    fs::path updateFolder = site / kUpdateFolder;
    fs::path manifestPath = updateFolder / kManifestName;
    fs::path packagePath = filesFolder / (version + ".cvz");
    fs::path listPath = filesFolder / file_list::ListFileName(version);

    release_signing::PrivateKey key;
    std::string keyError;
    if (!release_signing::ReadPrivateKeyFile(options.keyFile, key, keyError))
        Refuse("the key " + Quoted(options.keyFile) + ": " + keyError);

    // From reading the published manifest to placing the new one, no other command
    // writes into SITE.
    CreateFolders(site);
    site_lock::SiteLock lock = LockSite(site);
    Published published = ReadPublished(site);
    CheckNewerThanPublished(published, manifestPath, version, options.allowOlder);
    // Written as the plain number, so that the line reads the same everywhere.
    fields.hasRollout = !options.rollout.empty();
    fields.rollout = fields.hasRollout ? std::to_string(percentage) : "";
    if (percentage < kEveryMachine) fields.fallback = FallbackFor(published, manifestPath, version, key);

    site_files::MakeSiteFolder(site, kFilesFolder);
    site_files::MakeSiteFolder(site, kUpdateFolder);

    // Packed beside the published packages, so that placing it is a rename.
    PendingFile package(filesFolder, version + ".cvz");
    package_writer::PackSummary packed;
    std::string publishedPackage =
        published.readable ? (filesFolder / (published.manifest.version + ".cvz")).string() : "";
    release_programs::Findings programs;
    try {
        packed = package_writer::PackFolder(options.fromFolder, package.path().string(),
                                            [&](package_writer::WalkedFolder& walked) {
                                                programs = release_programs::Examine(walked, publishedPackage,
                                                                                     options.trustedRoots);
                                            });
    } catch (const package_writer::PackError& e) {
        Refuse(e.what());
    }
    file_list::FileList list = CheckWithInstallerReader(package.path().string(), version, packed.files + packed.folders);
    // The installer stops a download past this bound.
    if (list.packageSize > package_limits::kLargestPackageBytes)
        Refuse("the package takes " + std::to_string(list.packageSize) + " bytes, more than an installer downloads (" +
               std::to_string(package_limits::kLargestPackageBytes) + ")");

    std::string signedLines, listText;
    try {
        signedLines = release_signing::SignReleaseLines(key, version, package.path().string());
        listText = file_list_builder::SignedList(key, list);
    } catch (const release_signing::SigningError& e) {
        Refuse("the package cannot be signed: " + e.message);
    }
    std::string manifest = ManifestText(fields.version, fields.date, fields.comment, fields.downloadUrl,
                                        fields.fileListUrl, signedLines) +
                           RolloutLines(fields.rollout, fields.fallback);
    CheckReadsBack(manifest, fields);
    std::string cost = UpdateCostFrom(published, site, release_signing::PublicKeyOf(key), list,
                                      package.path().string(), listText.size());

    // Machines that took the old manifest may be downloading the old package, and its
    // signed digest must keep matching: a published package is never rewritten.
    if (std::optional<SiteFile> publishedPackage = SiteFile::Open(site, fs::path(kFilesFolder) / packagePath.filename())) {
        if (!SameBytes(*publishedPackage, list))
            Refuse(Quoted(packagePath.string()) + " is published already with other contents; "
                   "release the new contents under a new version");
    } else {
        package.PlaceAs(packagePath);
    }
    // The list is signed, and ed25519 signs the same bytes the same way: a list
    // published already for this package has these bytes.
    PendingFile pendingList(filesFolder, file_list::ListFileName(version));
    WriteNewFile(pendingList.path(), listText);
    pendingList.PlaceAs(listPath);

    // Last, and only once the package and its list are in place: the manifest.
    PendingFile pendingManifest(updateFolder, kManifestName);
    WriteNewFile(pendingManifest.path(), manifest);
    pendingManifest.PlaceAs(manifestPath);
    return {packagePath.string(), manifestPath.string(), manifest, listPath.string(), cost, percentage,
            fields.fallback.version, programs.unsignedPrograms, programs.keptAsPublished,
            programs.keptAsPublished.empty() ? "" : published.manifest.version};
}

int RunReleaseCommand(int argc, char** argv) {
    const char* usage =
        "usage: cvztool release --key KEYFILE --version V --from FOLDER --site SITE --base-url URL\n"
        "                       [--date YYYYMMDD] [--comment TEXT] [--allow-older] [--rollout PERCENT]\n"
        "                       [--require-authenticode CAFILE]\n";
    ReleaseOptions options;
    struct Valued {
        const char* name;
        std::string* value;
    } valued[] = {{"--key", &options.keyFile},    {"--version", &options.version}, {"--from", &options.fromFolder},
                  {"--site", &options.site},      {"--base-url", &options.baseUrl}, {"--date", &options.date},
                  {"--comment", &options.comment}, {"--rollout", &options.rollout},
                  {"--require-authenticode", &options.trustedRoots}};
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--allow-older") {
            options.allowOlder = true;
            continue;
        }
        bool known = false;
        for (const Valued& option : valued) {
            if (argument != option.name) continue;
            if (i + 1 >= argc) break;
            *option.value = argv[++i];
            known = true;
        }
        if (!known) {
            std::fputs(usage, stderr);
            return 64;
        }
    }
    if (options.keyFile.empty() || options.version.empty() || options.fromFolder.empty() || options.site.empty() ||
        options.baseUrl.empty()) {
        std::fputs(usage, stderr);
        return 64;
    }
    try {
        PublishedRelease release = Publish(options);
        for (const std::string& program : release.unsignedPrograms)
            std::fprintf(stderr,
                         "warning: %s is a program without an Authenticode signature: Windows names no publisher "
                         "for it and Smart App Control blocks it (--require-authenticode refuses such a release)\n",
                         program.c_str());
        for (const std::string& program : release.keptPrograms)
            std::printf("kept %s as %s published it: the new one differs only in its signature\n", program.c_str(),
                        release.keptFrom.c_str());
        std::printf("released %s:\n  %s\n  %s\n  %s (written last)\n%s", options.version.c_str(),
                    release.packagePath.c_str(), release.listPath.c_str(), release.manifestPath.c_str(),
                    release.updateCost.c_str());
        if (release.rollout < kEveryMachine)
            std::printf("to %d%% of the machines; %s\n", release.rollout,
                        release.fallbackVersion.empty()
                            ? "the others keep what they have (a fresh install takes this release)"
                            : ("the others are offered " + release.fallbackVersion).c_str());
        std::printf("Upload the package and its list first and the manifest last.\n");
        return 0;
    } catch (const ReleaseRefused& e) {
        std::fprintf(stderr, "release refused: %s\n", e.what());
        return 4;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "release failed, nothing published: %s\n", e.what());
        return 4;
    }
}

}  // namespace release_command
