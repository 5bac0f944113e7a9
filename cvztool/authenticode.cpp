#include "cvztool/authenticode.h"

#include "cvztool/scratch_folder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cvztool/scoped_descriptor.h"
#include "cvztool/site_files.h"

extern char** environ;

namespace authenticode {

namespace {

// The program's headers, at the offsets the PE format fixes.
constexpr uint64_t kHeaderOffsetAt = 0x3C;     // e_lfanew, in the MS-DOS header
constexpr uint64_t kOptionalHeader = 24;        // after "PE\0\0" and the file header
constexpr uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr uint64_t kPe32Directories = 96, kPe32PlusDirectories = 112;
constexpr uint32_t kCertificateTable = 4;       // the data directory of the signatures

uint32_t Little(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool EndsWithNoCase(const std::string& name, const std::string& ending) {
    if (name.size() < ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - ending.size() + i])) != ending[i]) return false;
    return true;
}

struct ToolRun {
    int status = -1;  // the exit status; -1 when it could not be started or did not end normally
    std::string output;  // standard output and standard error, interleaved
};

ToolRun RunTool(const std::vector<std::string>& arguments) {
    ToolRun run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        run.output = std::strerror(errno);
        return run;
    }
    ScopedDescriptor reading(pipeEnds[0]), writing(pipeEnds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writing.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writing.Get(), 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writing.Reset();
    if (failed != 0) {
        run.output = arguments[0] + " cannot be run: " + std::strerror(failed);
        return run;
    }
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(reading.Get(), buffer, sizeof buffer)) != 0) {
        if (got > 0) run.output.append(buffer, static_cast<size_t>(got));
        else if (errno != EINTR) break;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

bool HasLine(const std::string& text, const std::string& line) {
    return text.find(line) != std::string::npos;
}

// What a tool prints about a file, or "" when it fails.
std::string Printed(const std::vector<std::string>& command) {
    ToolRun run = RunTool(command);
    return run.status == 0 ? run.output : "";
}

}  // namespace

ProgramKind KindOf(const std::string& name, const ReadAt& read) {
    bool named = EndsWithNoCase(name, ".exe") || EndsWithNoCase(name, ".dll");
    std::string dos = read(0, kHeaderOffsetAt + 4);
    if (dos.size() < kHeaderOffsetAt + 4 || dos.compare(0, 2, "MZ") != 0)
        return named ? ProgramKind::unsignedProgram : ProgramKind::notAProgram;
    uint64_t header = Little(dos, kHeaderOffsetAt, 4);
    std::string headers = read(header, kOptionalHeader + kPe32PlusDirectories + 8 * (kCertificateTable + 1));
    if (headers.size() < kOptionalHeader + 2 || headers.compare(0, 4, std::string("PE\0\0", 4)) != 0)
        return named ? ProgramKind::unsignedProgram : ProgramKind::notAProgram;
    uint32_t magic = Little(headers, kOptionalHeader, 2);
    uint64_t directories = kOptionalHeader + (magic == kPe32 ? kPe32Directories : kPe32PlusDirectories);
    if ((magic != kPe32 && magic != kPe32Plus) || headers.size() < directories + 8 * (kCertificateTable + 1) ||
        Little(headers, directories - 4, 4) <= kCertificateTable)
        return ProgramKind::unsignedProgram;
    bool signatures = Little(headers, directories + 8 * kCertificateTable + 4, 4) != 0;
    return signatures ? ProgramKind::signedProgram : ProgramKind::unsignedProgram;
}

std::string SignatureProblem(const std::string& path, const std::string& trustedRoots) {
    ToolRun run =
        RunTool({"osslsigncode", "verify", "-CAfile", trustedRoots, "-TSA-CAfile", trustedRoots, "-in", path});
    // osslsigncode calls a signature whose time stamp fails good, and says so on one line.
    if (run.status == 0 && !HasLine(run.output, "Timestamp Server Signature verification: failed")) return "";
    if (run.status < 0) return run.output.empty() ? "osslsigncode did not end normally" : run.output;
    if (run.status == 0) return "its time stamp does not verify";
    // Its reasons: the lines that say what failed, each once.
    std::string reasons;
    size_t start = 0;
    while (start < run.output.size()) {
        size_t end = std::min(run.output.find('\n', start), run.output.size());
        std::string line = run.output.substr(start, end - start);
        start = end + 1;
        std::string reason;
        if (line.find("Error: ") != std::string::npos)
            reason = line.substr(line.find("Error: ") + 7);
        else if (HasLine(line, "MISMATCH"))
            reason = "its digest does not match the file";
        else if (HasLine(line, "verification: failed"))
            reason = line;
        if (!reason.empty() && !HasLine(reasons, reason)) reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    return reasons.empty() ? "osslsigncode says only \"Failed\"" : reasons;
}

bool SameProgramSameSigner(const std::string& a, const std::string& b, const std::string& scratchFolder) {
    // What Authenticode digests of each, and the certificates each signature carries.
    std::string digested[2], signers[2];
    const std::string programs[2] = {a, b};
    std::string data = scratchFolder + "/digested", signature = scratchFolder + "/signature.p7";
    for (int i = 0; i < 2; ++i) {
        std::remove(data.c_str());
        std::remove(signature.c_str());
        if (RunTool({"osslsigncode", "extract-data", "-h", "sha256", "-in", programs[i], "-out", data}).status != 0 ||
            RunTool({"osslsigncode", "extract-signature", "-in", programs[i], "-out", signature}).status != 0)
            return false;
        digested[i] = ScratchFolder::ReadWhole(data);
        signers[i] = Printed({"openssl", "pkcs7", "-inform", "DER", "-in", signature, "-print_certs"});
    }
    return !digested[0].empty() && digested[0] == digested[1] && !signers[0].empty() && signers[0] == signers[1];
}

}  // namespace authenticode
