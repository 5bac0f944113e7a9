// All registry access of the installer: each setting is named by a kind, and one
// table holds the root, key and fixed value name of every kind.
#pragma once

#include <string>

enum class SettingKind : int {
    CompanyKey = 11,
    ProductKey = 12,
    InstallPath = 21,
    InstalledVersion = 22,
    AutoRun = 23,
    UpdateDate = 24,
    ModuleGrabit = 25,
    ModuleWireup = 26,
    ModuleTalkpad = 27,
    ModuleDials = 28,
    ModuleSkycast = 29,
    ModuleSweepkit = 30,
    ModulePinbar = 31,
    ModuleLookup = 32,
    ModuleCore = 33,
    Uninstall = 35,
    AxCancel = 36,
    RolloutId = 37,      // which releases of a partial rollout this user takes first
    SwitchVersion = 38,  // a switch to this version is under way: its folder is whole and named
    FailedVersion = 39,  // the suite of this version did not start after the switch to it
};

// Defined for InstallPath, InstalledVersion, UpdateDate, RolloutId, SwitchVersion,
// FailedVersion and AutoRun;
// any other kind, a missing key or value, or a value too long for the 260-byte
// buffer reads as "".
std::string ReadSetting(SettingKind kind);

// Removes the value of a kind with a fixed value name: what it recorded is over.
void ClearSetting(SettingKind kind);

// Puts the user's settings written so far on the disk itself: a power cut after this
// keeps them. Made where one record must not outlive another it depends on.
void FlushSettings();

// Stores `value` as REG_SZ with its terminating zero (a reader that takes the
// stored size as the text's would otherwise run past its end). `name` is used only
// by kinds without a fixed value name. Failures are silent.
void WriteSetting(SettingKind kind, const std::string& name, const std::string& value);
// Stores `value` as REG_DWORD, under the same rule for names.
void WriteNumberSetting(SettingKind kind, const std::string& name, unsigned long value);

// The installed suite's version (VERSION, trimmed), "" when nothing is installed.
std::string LoadInstallInfo();

// Today's local date as eight digits, year first.
std::string TodayAsDigits();

// The fresh-install settings of every widget module, keyed by the version prefix.
void WriteWidgetDefaults(const std::string& installRoot, const std::string& version);
