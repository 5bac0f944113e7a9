#include <windows.h>

#include "app/registry_store.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

namespace {

using test_support::Query;
using test_support::StoredValue;

void CheckString(const char* key, const char* name, const std::string& expected) {
    StoredValue v = Query(HKEY_CURRENT_USER, key, name);
    if (!v.present) std::printf("    missing %s\\%s\n", key, name);
    CHECK(v.present);
    CHECK_EQ(v.type, DWORD(REG_SZ));
    CHECK_EQ(v.bytes, expected);
}

}  // namespace

TEST_CASE(registry_store, fresh_install_defaults_of_all_nine_modules) {
    WriteWidgetDefaults("C:\\Program Files", "2.01");
    CheckString("Software\\CORVALEN", "", "");
    CheckString("Software\\CORVALEN\\VELMORA2", "", "");
    CheckString("Software\\CORVALEN\\VELMORA2\\INFO", "INSTALLPATH", "C:\\Program Files\\Corvalen\\Velmora2");
    CheckString("Software\\CORVALEN\\VELMORA2\\INFO", "UPDATEDATE", TodayAsDigits());
    CHECK_EQ(TodayAsDigits().size(), size_t(8));
    struct Row {
        const char* module;
        const char* current;
        const char* x;
        const char* y;
        const char* skin;
    };
    const Row rows[] = {
        {"CORE", "", "0", "0", ""},          {"GRABIT", "31", "100", "100", "0"}, {"WIREUP", "31", "100", "300", "0"},
        {"TALKPAD", "31", "100", "500", "0"}, {"DIALS", "0", "300", "100", "0"},   {"SKYCAST", "5", "300", "300", "0"},
        {"SWEEPKIT", "31", "100", "100", "0"}, {"PINBAR", "0", "500", "100", "0"}, {"LOOKUP", "31", "500", "300", "0"},
    };
    for (const Row& row : rows) {
        std::string key = std::string("Software\\CORVALEN\\VELMORA2\\") + row.module;
        CheckString(key.c_str(), "VERSION", "2.01");
        CheckString(key.c_str(), "CURRENT", row.current);
        CheckString(key.c_str(), "LOCATION_X", row.x);
        CheckString(key.c_str(), "LOCATION_Y", row.y);
        CheckString(key.c_str(), "SKIN", row.skin);
        CheckString(key.c_str(), "ZORDER", "0");
        CheckString(key.c_str(), "TRANSPARENT", "255");
        CheckString(key.c_str(), "SKINPATH", "");
    }
    CheckString("Software\\CORVALEN\\VELMORA2\\CORE", "LASTACTIVE", "");
    CheckString("Software\\CORVALEN\\VELMORA2\\PINBAR", "LASTUSER", "");
    CHECK(!Query(HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\GRABIT", "LASTUSER").present);
    CHECK(!Query(HKEY_CURRENT_USER, "Software\\CORVALEN\\VELMORA2\\INFO", "VERSION").present);
}

TEST_CASE(registry_store, texts_are_stored_with_their_terminator_the_empty_one_too) {
    // A reader that takes the stored size for the text's must find the zero.
    struct Row {
        SettingKind kind;
        const char* key;
        const char* name;
        std::string text;
    } rows[] = {
        {SettingKind::AxCancel, "Software\\CORVALEN", "VL2AXCANCEL", ""},
        {SettingKind::InstallPath, "Software\\CORVALEN\\VELMORA2\\INFO", "INSTALLPATH", "C:\\x\\Corvalen\\Velmora2"},
    };
    for (const Row& row : rows) {
        WriteSetting(row.kind, "ignored", row.text);
        HKEY key;
        CHECK_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, row.key, 0, KEY_QUERY_VALUE, &key), LONG(ERROR_SUCCESS));
        char stored[300] = {1};
        DWORD size = sizeof(stored), type = 0;
        CHECK_EQ(RegQueryValueExA(key, row.name, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size), LONG(ERROR_SUCCESS));
        RegCloseKey(key);
        CHECK_EQ(size, DWORD(row.text.size() + 1));
        CHECK_EQ(std::string(stored, size), row.text + std::string(1, '\0'));
    }
    CHECK(!Query(HKEY_CURRENT_USER, "Software\\CORVALEN", "ignored").present);
}

TEST_CASE(registry_store, reads_trim_nothing_but_load_install_info_trims_the_version) {
    WriteSetting(SettingKind::InstalledVersion, "", "  2.01 \t");
    CHECK_EQ(ReadSetting(SettingKind::InstalledVersion), std::string("  2.01 \t"));
    CHECK_EQ(LoadInstallInfo(), std::string("2.01"));
}

TEST_CASE(registry_store, a_value_too_long_for_the_buffer_reads_as_empty) {
    WriteSetting(SettingKind::InstallPath, "", std::string(300, 'p'));
    CHECK_EQ(ReadSetting(SettingKind::InstallPath), std::string(""));
    WriteSetting(SettingKind::InstallPath, "", std::string(260, 'p'));
    CHECK_EQ(ReadSetting(SettingKind::InstallPath), std::string(""));
    WriteSetting(SettingKind::InstallPath, "", std::string(259, 'p'));
    CHECK_EQ(ReadSetting(SettingKind::InstallPath), std::string(259, 'p'));
}

TEST_CASE(registry_store, only_the_readable_kinds_are_read) {
    WriteSetting(SettingKind::AxCancel, "", "20061231");
    CHECK_EQ(ReadSetting(SettingKind::AxCancel), std::string(""));
    WriteSetting(SettingKind::UpdateDate, "", "20061231");
    CHECK_EQ(ReadSetting(SettingKind::UpdateDate), std::string("20061231"));
}

TEST_CASE(registry_store, a_module_value_takes_the_callers_name_and_the_uninstall_entry_is_the_users) {
    WriteSetting(SettingKind::ModuleDials, "CUSTOM", "7");
    CheckString("Software\\CORVALEN\\VELMORA2\\DIALS", "CUSTOM", "7");
    const char* entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2";
    WriteSetting(SettingKind::Uninstall, "DisplayName", "x");
    WriteNumberSetting(SettingKind::Uninstall, "NoModify", 1);
    CheckString(entry, "DisplayName", "x");
    StoredValue number = Query(HKEY_CURRENT_USER, entry, "NoModify");
    CHECK_EQ(number.type, DWORD(REG_DWORD));
    // Nothing outside the user's own registry: an ordinary user cannot write there.
    CHECK(!Query(HKEY_LOCAL_MACHINE, entry, "DisplayName").keyPresent);
}
