#include "app/registry_store.h"

#include <windows.h>

#include "app/install_paths.h"
#include "app/suite_contract.h"
#include "framework/scoped.h"
#include "framework/text.h"

namespace {

struct SettingLocation {
    SettingKind kind;
    HKEY root;
    const char* key;
    const char* fixedName;  // null: the caller names the value
};

const SettingLocation kLocations[] = {
    {SettingKind::CompanyKey, HKEY_CURRENT_USER, suite::kCompanyKey, ""},
    {SettingKind::ProductKey, HKEY_CURRENT_USER, suite::kProductKey, ""},
    {SettingKind::InstallPath, HKEY_CURRENT_USER, suite::kInfoKey, "INSTALLPATH"},
    {SettingKind::InstalledVersion, HKEY_CURRENT_USER, suite::kInfoKey, "VERSION"},
    {SettingKind::AutoRun, HKEY_CURRENT_USER, suite::kRunKey, suite::kAutoRunValue},
    {SettingKind::UpdateDate, HKEY_CURRENT_USER, suite::kInfoKey, "UPDATEDATE"},
    {SettingKind::ModuleGrabit, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\GRABIT", nullptr},
    {SettingKind::ModuleWireup, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\WIREUP", nullptr},
    {SettingKind::ModuleTalkpad, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\TALKPAD", nullptr},
    {SettingKind::ModuleDials, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\DIALS", nullptr},
    {SettingKind::ModuleSkycast, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\SKYCAST", nullptr},
    {SettingKind::ModuleSweepkit, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\SWEEPKIT", nullptr},
    {SettingKind::ModulePinbar, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\PINBAR", nullptr},
    {SettingKind::ModuleLookup, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\LOOKUP", nullptr},
    {SettingKind::ModuleCore, HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\CORE", nullptr},
    {SettingKind::Uninstall, HKEY_CURRENT_USER, suite::kUninstallKey, nullptr},
    {SettingKind::AxCancel, HKEY_CURRENT_USER, suite::kCompanyKey, suite::kDeclineValue},
    {SettingKind::RolloutId, HKEY_CURRENT_USER, suite::kInfoKey, "ROLLOUTID"},
    {SettingKind::SwitchVersion, HKEY_CURRENT_USER, suite::kInfoKey, "SWITCHVERSION"},
    {SettingKind::FailedVersion, HKEY_CURRENT_USER, suite::kInfoKey, "FAILEDVERSION"},
};

const SettingLocation* Find(SettingKind kind) {
    for (const SettingLocation& location : kLocations)
        if (location.kind == kind) return &location;
    return nullptr;
}

}  // namespace

std::string ReadSetting(SettingKind kind) {
    if (kind != SettingKind::InstallPath && kind != SettingKind::InstalledVersion && kind != SettingKind::UpdateDate &&
        kind != SettingKind::RolloutId && kind != SettingKind::SwitchVersion &&
        kind != SettingKind::FailedVersion && kind != SettingKind::AutoRun)
        return "";
    const SettingLocation* location = Find(kind);
    ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, location->key, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return "";
    char buffer[260] = {};
    DWORD type = REG_SZ;
    DWORD size = sizeof(buffer);
    // Whatever type is stored, its bytes are taken as text.
    LONG status = RegQueryValueExA(key.Get(), location->fixedName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS) return "";
    // The zero fill terminates values stored without their zero; a value that
    // filled the whole buffer has no room for one and does not count.
    if (memchr(buffer, 0, sizeof(buffer)) == nullptr) return "";
    return buffer;
}

namespace {

void WriteValue(SettingKind kind, const std::string& name, DWORD type, const BYTE* bytes, DWORD size) {
    const SettingLocation* location = Find(kind);
    if (!location) return;
    const char* valueName = location->fixedName ? location->fixedName : name.c_str();
    ScopedRegKey key;
    if (RegCreateKeyA(location->root, location->key, key.Receive()) != ERROR_SUCCESS) return;
    RegSetValueExA(key.Get(), valueName, 0, type, bytes, size);
}

}  // namespace

void WriteSetting(SettingKind kind, const std::string& name, const std::string& value) {
    WriteValue(kind, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}

void WriteNumberSetting(SettingKind kind, const std::string& name, unsigned long value) {
    DWORD number = value;
    WriteValue(kind, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
}

void ClearSetting(SettingKind kind) {
    const SettingLocation* location = Find(kind);
    if (!location || !location->fixedName) return;
    ScopedRegKey key;
    if (RegOpenKeyExA(location->root, location->key, 0, KEY_SET_VALUE, key.Receive()) != ERROR_SUCCESS) return;
    RegDeleteValueA(key.Get(), location->fixedName);
}

void FlushSettings() { RegFlushKey(HKEY_CURRENT_USER); }

std::string LoadInstallInfo() { return text::Trim(ReadSetting(SettingKind::InstalledVersion)); }

std::string TodayAsDigits() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char digits[16];
    wsprintfA(digits, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return digits;
}

void WriteWidgetDefaults(const std::string& installRoot, const std::string& version) {
    struct ModuleDefaults {
        SettingKind kind;
        const char* current;
        const char* x;
        const char* y;
        const char* skin;
        const char* extraName;  // written last, empty, when set
    };
    static const ModuleDefaults kModules[] = {
        {SettingKind::ModuleCore, "", "0", "0", "", "LASTACTIVE"},
        {SettingKind::ModuleGrabit, "31", "100", "100", "0", nullptr},
        {SettingKind::ModuleWireup, "31", "100", "300", "0", nullptr},
        {SettingKind::ModuleTalkpad, "31", "100", "500", "0", nullptr},
        {SettingKind::ModuleDials, "0", "300", "100", "0", nullptr},
        {SettingKind::ModuleSkycast, "5", "300", "300", "0", nullptr},
        {SettingKind::ModuleSweepkit, "31", "100", "100", "0", nullptr},
        {SettingKind::ModulePinbar, "0", "500", "100", "0", "LASTUSER"},
        {SettingKind::ModuleLookup, "31", "500", "300", "0", nullptr},
    };
    WriteSetting(SettingKind::CompanyKey, "", "");
    WriteSetting(SettingKind::ProductKey, "", "");
    WriteSetting(SettingKind::InstallPath, "", install_paths::ProductFolder(installRoot));
    WriteSetting(SettingKind::UpdateDate, "", TodayAsDigits());
    for (const ModuleDefaults& module : kModules) {
        WriteSetting(module.kind, "VERSION", version);
        WriteSetting(module.kind, "CURRENT", module.current);
        WriteSetting(module.kind, "LOCATION_X", module.x);
        WriteSetting(module.kind, "LOCATION_Y", module.y);
        WriteSetting(module.kind, "SKIN", module.skin);
        WriteSetting(module.kind, "ZORDER", "0");
        WriteSetting(module.kind, "TRANSPARENT", "255");
        WriteSetting(module.kind, "SKINPATH", "");
        if (module.extraName) WriteSetting(module.kind, module.extraName, "");
    }
}
