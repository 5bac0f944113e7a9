// What the uninstaller removes and what it refuses to touch, from values alone.
#include "app/suite_contract.h"
#include "install/removal_plan.h"

#include <string>
#include <vector>

#include "tests/check.h"

using removal::Findings;
using removal::Hive;
using removal::Step;
using removal::StepKind;

namespace {

const char* const kLocal = "C:\\Users\\kim\\AppData\\Local\\Programs";
const char* const kPrograms = "C:\\Users\\kim\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";

Findings PerUserInstall() {
    Findings findings;
    findings.installPath = std::string(kLocal) + "\\Corvalen\\Velmora2";
    findings.uninstallerPath = std::string(kLocal) + "\\Corvalen\\VL2Del.exe";
    findings.startMenuPrograms = kPrograms;
    findings.desktop = "C:\\Users\\kim\\Desktop";
    findings.applicationData = "C:\\Users\\kim\\AppData\\Roaming";
    return findings;
}

bool Names(const std::vector<Step>& steps, const std::string& path) {
    for (const Step& step : steps)
        if (step.path == path) return true;
    return false;
}

bool PathIsBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '\\';
}

}  // namespace

TEST_CASE(removal_plan, it_names_only_what_the_install_made_and_refuses_what_is_not_ours) {
    struct Row {
        const char* what;
        std::string installPath;
        std::string uninstallerPath;
        std::vector<std::string> removed;
        std::vector<std::string> refused;  // no step names these
    };
    const std::string local = kLocal;
    const std::string programFiles = "C:\\Program Files";
    const std::vector<Row> rows = {
        {"a per-user install", local + "\\Corvalen\\Velmora2", local + "\\Corvalen\\VL2Del.exe",
         {local + "\\Corvalen\\Velmora2", local + "\\Corvalen\\VL2Del.exe", local + "\\Corvalen",
          std::string(kPrograms) + "\\Corvalen\\Velmora2.lnk", std::string(kPrograms) + "\\Corvalen",
          "C:\\Users\\kim\\Desktop\\Velmora2.lnk",
          "C:\\Users\\kim\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\Velmora2.lnk",
          "C:\\Users\\kim\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\Velmora.lnk"},
         {}},
        {"an install under Program Files, with a trailing backslash", programFiles + "\\Corvalen\\Velmora2\\",
         programFiles + "\\Corvalen\\VL2Del.exe",
         {programFiles + "\\Corvalen\\Velmora2", programFiles + "\\Corvalen\\VL2Del.exe", programFiles + "\\Corvalen"},
         {programFiles + "\\Corvalen\\Velmora2\\"}},
        {"an old uninstaller while INSTALLPATH names the per-user install", local + "\\Corvalen\\Velmora2",
         programFiles + "\\CORVALEN\\vl2del.EXE",
         {local + "\\Corvalen\\Velmora2", local + "\\Corvalen\\VL2Del.exe", local + "\\Corvalen",
          programFiles + "\\CORVALEN\\vl2del.EXE", programFiles + "\\CORVALEN"},
         {}},
        {"a foreign INSTALLPATH", "C:\\Users\\kim\\Documents", local + "\\Corvalen\\VL2Del.exe",
         {local + "\\Corvalen\\VL2Del.exe", local + "\\Corvalen"},
         {"C:\\Users\\kim\\Documents", "C:\\Users\\kim"}},
        {"an INSTALLPATH that climbs out of its folder", "C:\\Windows\\..\\Corvalen\\Velmora2",
         local + "\\Corvalen\\VL2Del.exe",
         {local + "\\Corvalen\\VL2Del.exe"},
         {"C:\\Windows\\..\\Corvalen\\Velmora2", "C:\\Windows\\..\\Corvalen\\VL2Del.exe", "C:\\Windows\\..\\Corvalen"}},
        {"a relative or too short INSTALLPATH", "Corvalen\\Velmora2", "",
         {},
         {"Corvalen\\Velmora2", "Corvalen", "Corvalen\\VL2Del.exe"}},
        {"a started path that is not an uninstaller of ours", "", "C:\\Windows\\notepad.exe",
         {},
         {"C:\\Windows\\notepad.exe", "C:\\Windows"}},
        {"an uninstaller named so outside a Corvalen folder", "", "C:\\Downloads\\VL2Del.exe",
         {},
         {"C:\\Downloads\\VL2Del.exe", "C:\\Downloads"}},
        {"an uninstaller path with forward slashes", "", "C:\\x/../Corvalen\\VL2Del.exe",
         {},
         {"C:\\x/../Corvalen\\VL2Del.exe", "C:\\x/../Corvalen"}},
    };
    for (const Row& row : rows) {
        Findings findings = PerUserInstall();
        findings.installPath = row.installPath;
        findings.uninstallerPath = row.uninstallerPath;
        std::vector<Step> steps = removal::PlanRemoval(findings);
        for (const std::string& path : row.removed)
            if (!Names(steps, path)) check::Fail(__FILE__, __LINE__, std::string(row.what) + ": missing " + path);
        for (const std::string& path : row.refused)
            if (Names(steps, path)) check::Fail(__FILE__, __LINE__, std::string(row.what) + ": names " + path);

        // A folder removed only when empty comes after everything of ours inside it,
        // and the company key after the product key.
        for (size_t i = 0; i < steps.size(); ++i)
            for (size_t j = i + 1; j < steps.size(); ++j)
                if (steps[i].kind == StepKind::FolderWhenEmpty && PathIsBelow(steps[j].path, steps[i].path))
                    check::Fail(__FILE__, __LINE__, std::string(row.what) + ": " + steps[j].path + " after its folder");
        // Whatever the paths, the product's keys, the Run value and both uninstall entries go.
        // The company key goes only after the values of ours in it, which would
        // otherwise keep it.
        bool machineEntry = false, companyKeyGone = false, declineValueGone = false;
        for (const Step& step : steps) {
            if (step.hive == Hive::LocalMachine) machineEntry = true;
            if (step.kind == StepKind::RegistryKeyWhenEmpty && step.path == suite::kCompanyKey) companyKeyGone = true;
            if (step.kind == StepKind::RegistryValue && step.path == suite::kCompanyKey &&
                step.value == suite::kDeclineValue)
                declineValueGone = !companyKeyGone;
        }
        CHECK(machineEntry);
        CHECK(companyKeyGone && declineValueGone);
    }
}

TEST_CASE(removal_plan, without_shell_folders_no_shortcut_is_named_at_a_root) {
    Findings findings = PerUserInstall();
    findings.startMenuPrograms = findings.desktop = findings.applicationData = "";
    for (const Step& step : removal::PlanRemoval(findings))
        if (step.kind == StepKind::File || step.kind == StepKind::FolderWhenEmpty)
            CHECK(step.path.compare(0, std::string(kLocal).size(), kLocal) == 0);
}

TEST_CASE(removal_plan, the_copy_finds_the_original_in_its_command_line) {
    struct Row {
        std::string commandLine;
        std::string original;
    };
    const std::vector<Row> rows = {
        {"\"C:\\Users\\kim\\Temp\\VL2Del-12.exe\" \"C:\\Program Files\\Corvalen\\VL2Del.exe\"",
         "C:\\Program Files\\Corvalen\\VL2Del.exe"},
        {"C:\\Temp\\VL2Del-12.exe  C:\\Program Files\\Corvalen\\VL2Del.exe ", "C:\\Program Files\\Corvalen\\VL2Del.exe"},
        {"\"C:\\Program Files\\Corvalen\\VL2Del.exe\"", ""},
        {"\"C:\\Program Files\\Corvalen\\VL2Del.exe\"   ", ""},
        {"VL2Del.exe", ""},
        {"\"C:\\T\\VL2Del-1.exe\" \"C:\\Corvalen\\VL2Del.exe", "C:\\Corvalen\\VL2Del.exe"},
    };
    for (const Row& row : rows) CHECK_EQ(removal::OriginalFromCommandLine(row.commandLine), row.original);
}

TEST_CASE(removal_plan, the_last_box_lists_what_is_left_and_counts_what_does_not_fit) {
    CHECK_EQ(removal::LeftoverMessage({}), std::string("삭제 완료!"));
    std::vector<std::string> left;
    for (size_t i = 0; i < removal::kLeftoversShown + 3; ++i) left.push_back("C:\\left\\" + std::to_string(i));
    std::string message = removal::LeftoverMessage({left[0], "HKEY_LOCAL_MACHINE\\SOFTWARE\\x"});
    CHECK(message.find("삭제 완료") == std::string::npos);
    CHECK(message.find("\nC:\\left\\0\nHKEY_LOCAL_MACHINE\\SOFTWARE\\x") != std::string::npos);
    message = removal::LeftoverMessage(left);
    CHECK(message.find(left[removal::kLeftoversShown - 1]) != std::string::npos);
    CHECK(message.find(left[removal::kLeftoversShown]) == std::string::npos);
    CHECK(message.find(" 3") != std::string::npos);
    CHECK_EQ(removal::Describe({StepKind::RegistryValue, "SOFTWARE\\Run", Hive::CurrentUser, "Velmora2"}),
             std::string("HKEY_CURRENT_USER\\SOFTWARE\\Run (Velmora2)"));
}
