// The install sequence run directly, with no window: what it records, and how it
// stops when the uninstaller cannot be written.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "install/install_sequence.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

std::string RegistryText(HKEY root, const char* key, const char* name) {
    test_support::StoredValue value = test_support::Query(root, key, name);
    if (!value.keyPresent) return "<no key>";
    return value.present ? value.bytes : "<no value>";
}

// Every case leaves the registry as it found it: other cases in this program
// check a registry without an install record.
struct RegistryRestored {
    ~RegistryRestored() {
        SHDeleteKeyA(HKEY_CURRENT_USER, suite::kCompanyKey);
        SHDeleteKeyA(HKEY_CURRENT_USER, suite::kUninstallKey);
        HKEY run;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, suite::kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            RegDeleteValueA(run, suite::kAutoRunValue);
            RegCloseKey(run);
        }
    }
};

install::InstallRequest Request(const char* installRoot, const char* version, install::InstallVariant variant) {
    CreateDirectoryA(installRoot, nullptr);
    for (const std::string& folder : install_paths::FolderTree(installRoot, version))
        CreateDirectoryA(folder.c_str(), nullptr);
    install::InstallRequest request;
    request.installRoot = installRoot;
    request.version = version;
    request.variant = variant;
    return request;
}

}  // namespace

TEST_CASE(install_sequence, a_fresh_install_records_the_version_autostart_shortcuts_and_uninstaller) {
    RegistryRestored restored;
    install::InstallRequest request = Request("C:\\sequence fresh", "2.01", install::InstallVariant::Fresh);
    int shortcutFailures = 0;
    install::InstallCallbacks callbacks;
    callbacks.shortcutFailed = [&](const install::ShortcutResult&) { ++shortcutFailures; };
    install::InstallOutcome outcome = install::RunInstallSequence(request, callbacks);
    CHECK(outcome == install::InstallOutcome::Completed);
    CHECK_EQ(shortcutFailures, 0);
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kInfoKey, "VERSION"), std::string("2.01"));
    // Every pointer names the stable launcher, which is in place; quoted, so that a
    // blank in the path cannot make Windows run a planted program.
    std::string launcher = install_paths::StableLauncherPath(request.installRoot);
    CHECK(test_support::FileExists(launcher));
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kRunKey, suite::kAutoRunValue), "\"" + launcher + "\"");
    for (const std::string& link : {ShellFolder(CSIDL_PROGRAMS) + "\\Corvalen\\Velmora2.lnk",
                                    ShellFolder(CSIDL_DESKTOP) + "\\Velmora2.lnk"}) {
        install::ShortcutFields fields = install::ReadShortcut(link);
        CHECK_EQ(fields.target, launcher);
        CHECK_EQ(fields.workingFolder, install_paths::ProductFolder(request.installRoot));
    }
    std::string uninstaller = install_paths::UninstallerPath(request.installRoot);
    CHECK(test_support::FileExists(uninstaller));
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kUninstallKey, "UninstallString"), "\"" + uninstaller + "\"");
}

TEST_CASE(install_sequence, a_shortcut_that_cannot_be_saved_is_told_to_the_caller_and_the_sequence_goes_on) {
    RegistryRestored restored;
    std::string blocked = ShellFolder(CSIDL_DESKTOP) + "\\Velmora2.lnk";
    DeleteFileA(blocked.c_str());
    CreateDirectoryA(blocked.c_str(), nullptr);  // a folder where the link would go
    install::InstallRequest request = Request("C:\\sequence blocked", "2.02", install::InstallVariant::Fresh);
    std::vector<install::ShortcutResult> failures;
    install::InstallCallbacks callbacks;
    callbacks.shortcutFailed = [&](const install::ShortcutResult& failure) { failures.push_back(failure); };
    install::InstallOutcome outcome = install::RunInstallSequence(request, callbacks);
    RemoveDirectoryA(blocked.c_str());
    CHECK(outcome == install::InstallOutcome::Completed);
    CHECK_EQ(failures.size(), size_t(1));
    CHECK(!failures.empty() && failures[0].notSaved && !failures[0].classNotRegistered);
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kInfoKey, "VERSION"), std::string("2.02"));
}

TEST_CASE(install_sequence, an_uninstaller_that_cannot_be_replaced_keeps_the_old_one_and_its_entry) {
    RegistryRestored restored;
    install::InstallRequest request = Request("C:\\sequence locked uninstaller", "2.03", install::InstallVariant::Update);
    std::string uninstaller = install_paths::UninstallerPath(request.installRoot);
    test_support::WriteFile(uninstaller, "the old uninstaller");
    // Held open without sharing deletion, as a running uninstaller is: it can be
    // neither deleted nor replaced.
    HANDLE held = CreateFileA(uninstaller.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    WriteSetting(SettingKind::Uninstall, "UninstallString", uninstaller);
    install::InstallOutcome outcome = install::RunInstallSequence(request, {});
    CloseHandle(held);
    CHECK(outcome == install::InstallOutcome::UninstallerKept);
    CHECK_EQ(test_support::ReadFile(uninstaller), std::string("the old uninstaller"));
    CHECK(!test_support::FileExists(uninstaller + ".new"));
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kUninstallKey, "UninstallString"), uninstaller);
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kUninstallKey, "DisplayName"), std::string("<no value>"));
    // Every other step ran: the update is recorded.
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kInfoKey, "VERSION"), std::string("2.03"));
}

TEST_CASE(install_sequence, a_folder_in_the_uninstallers_place_is_reported_and_nothing_is_left_beside_it) {
    RegistryRestored restored;
    install::InstallRequest request = Request("C:\\sequence no uninstaller", "2.04", install::InstallVariant::Fresh);
    std::string uninstaller = install_paths::UninstallerPath(request.installRoot);
    CreateDirectoryA(uninstaller.c_str(), nullptr);
    install::InstallOutcome outcome = install::RunInstallSequence(request, {});
    CHECK(outcome == install::InstallOutcome::UninstallerKept);
    CHECK(!test_support::FileExists(uninstaller + ".new"));
    CHECK_EQ(RegistryText(HKEY_CURRENT_USER, suite::kUninstallKey, "UninstallString"), std::string("<no key>"));
}
