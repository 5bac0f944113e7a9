// What the uninstaller removes, decided from values alone: the recorded INSTALLPATH,
// the path of the uninstaller that was started, and the shell's folders. Only what
// the installer itself makes is named; a path that is not ours names nothing. The
// uninstaller carries the plan out and shows what it left with LeftoverMessage.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace removal {

// What one step of the plan removes.
enum class StepKind {
    FolderTree,          // a folder with everything below it
    File,                // one file
    FolderWhenEmpty,     // a folder, only when nothing is left in it
    RegistryTree,        // a key with all its subkeys and values
    RegistryKeyWhenEmpty,  // a key, only when it has neither subkeys nor values
    RegistryValue,       // one value of a key
};

enum class Hive { CurrentUser, LocalMachine };

struct Step {
    Step(StepKind kind, std::string path, Hive hive = Hive::CurrentUser, std::string value = std::string())
        : kind(kind), path(std::move(path)), hive(hive), value(std::move(value)) {}

    StepKind kind;
    std::string path;  // a file-system path, or a key below `hive`
    Hive hive;
    std::string value;  // the value's name, for RegistryValue
};

// What the uninstaller found before it removes anything.
struct Findings {
    std::string installPath;      // INSTALLPATH as recorded, "" when there is none
    std::string uninstallerPath;  // the started uninstaller's own path, as the copy was told it
    std::string startMenuPrograms;  // CSIDL_PROGRAMS, "" when the shell has none
    std::string desktop;            // CSIDL_DESKTOPDIRECTORY
    std::string applicationData;    // CSIDL_APPDATA, below which Quick Launch lies
};

// True for an absolute path whose last two components are Corvalen and VL2Del.exe
// (in any letter case): the only place the installer drops the uninstaller.
bool IsOurUninstaller(const std::string& path);

// The steps in the order they must run: files before the folders that hold them,
// subkeys before the keys above them. Each step that finds nothing to remove counts
// as done, so the same plan serves a whole install and what a partial one left.
std::vector<Step> PlanRemoval(const Findings& findings);

// The original uninstaller's path from the command line that the copy in TEMP was
// started with (its own program first, quoted or not, then the path, quoted or
// not); "" when there is none, which means this is the original.
std::string OriginalFromCommandLine(const std::string& commandLine);

// How a step that could not be carried out is named to the user: the path, or the
// key with its hive's full name and, for a value, the value's name.
std::string Describe(const Step& step);

// The last box's text: "삭제 완료!" when nothing is left, else the list of what is
// left, one a line, cut after kLeftoversShown lines with a count of the rest.
constexpr size_t kLeftoversShown = 12;
std::string LeftoverMessage(const std::vector<std::string>& left);

}  // namespace removal
