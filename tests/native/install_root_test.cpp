#include <string>

#include "app/install_root.h"
#include "app/uninstall_entry.h"
#include "tests/check.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// Code page 949 through the platform's own converter, refusing any character it
// would have to replace: what the programs do with the shell's wide paths.
bool ToCodePage949(const std::u16string& wide, std::string& narrow) {
#ifdef _WIN32
    const wchar_t* source = reinterpret_cast<const wchar_t*>(wide.c_str());
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, source, -1, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    narrow.assign(size, '\0');
    WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, source, -1, &narrow[0], size, nullptr, &usedDefault);
    narrow.resize(size - 1);
    return !usedDefault;
#else
    iconv_t converter = iconv_open("CP949", "UTF-16LE");
    std::string in(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    std::string out(wide.size() * 4 + 4, '\0');
    char* inPointer = &in[0];
    char* outPointer = &out[0];
    size_t inLeft = in.size(), outLeft = out.size();
    size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || result != 0) return false;
    narrow.assign(out.data(), out.size() - outLeft);
    return true;
#endif
}

}  // namespace

TEST_CASE(install_root, the_per_user_root_takes_a_form_of_the_profile_that_the_code_page_holds) {
    struct Row {
        const char16_t* localAppData;
        const char16_t* shortForm;
        const char* root;  // "" when no form is usable
    } rows[] = {
        {u"C:\\Users\\kim\\AppData\\Local", u"C:\\Users\\kim\\AppData\\Local",
         "C:\\Users\\kim\\AppData\\Local\\Programs"},
        // Hangul is the code page's own: the long form, in its bytes.
        {u"C:\\Users\\김철수\\AppData\\Local", u"C:\\Users\\8E0B~1\\AppData\\Local",
         "C:\\Users\\\xb1\xe8\xc3\xb6\xbc\xf6\\AppData\\Local\\Programs"},
        // Outside the code page: the short form, when the volume made one.
        {u"C:\\Users\\José\\AppData\\Local", u"C:\\Users\\JOS~1\\AppData\\Local",
         "C:\\Users\\JOS~1\\AppData\\Local\\Programs"},
        {u"C:\\Users\\张伟\\AppData\\Local", u"C:\\Users\\5F20~1\\AppData\\Local",
         "C:\\Users\\5F20~1\\AppData\\Local\\Programs"},
        // No short form, or one that still holds such a character: nothing usable.
        {u"C:\\Users\\张伟\\AppData\\Local", u"", ""},
        {u"C:\\Users\\张伟\\AppData\\Local", u"C:\\Users\\张伟\\AppData\\Local", ""},
        {u"", u"", ""},
        // The shell's trailing separator does not double.
        {u"D:\\Profiles\\lee\\Local\\", u"", "D:\\Profiles\\lee\\Local\\Programs"},
    };
    for (const Row& row : rows) {
        install_root::PerUserChoice choice = install_root::PerUserRoot(row.localAppData, row.shortForm, ToCodePage949);
        CHECK_EQ(choice.root, std::string(row.root));
        CHECK_EQ(choice.usable, row.root[0] != '\0');
    }
}

TEST_CASE(install_root, an_install_goes_on_where_it_is_only_while_that_folder_can_be_written) {
    install_root::PerUserChoice perUser{"C:\\Users\\kim\\AppData\\Local\\Programs", true};
    install_root::PerUserChoice unusable;
    const std::string legacy = "C:\\Program Files";
    struct Row {
        const char* installPath;  // INSTALLPATH as recorded
        bool installed;
        bool writable;
        const install_root::PerUserChoice* perUser;
        const char* installedRoot;
        const char* runRoot;
    } rows[] = {
        // An install recorded under Program Files: an ordinary user moves on to the
        // per-user root, an administrator on XP stays.
        {"C:\\Program Files\\Corvalen\\Velmora2", true, false, &perUser, "C:\\Program Files",
         "C:\\Users\\kim\\AppData\\Local\\Programs"},
        {"C:\\Program Files\\Corvalen\\Velmora2\\", true, true, &perUser, "C:\\Program Files", "C:\\Program Files"},
        {"c:\\program files\\corvalen\\velmora2", true, true, &perUser, "c:\\program files", "c:\\program files"},
        // A per-user install stays per user.
        {"C:\\Users\\kim\\AppData\\Local\\Programs\\Corvalen\\Velmora2", true, true, &perUser,
         "C:\\Users\\kim\\AppData\\Local\\Programs", "C:\\Users\\kim\\AppData\\Local\\Programs"},
        // Nothing usable recorded: the suite is where every earlier installer put it.
        {"", true, false, &perUser, "C:\\Program Files", "C:\\Users\\kim\\AppData\\Local\\Programs"},
        {"C:\\Users\\kim\\Documents", true, false, &perUser, "C:\\Program Files",
         "C:\\Users\\kim\\AppData\\Local\\Programs"},
        // A fresh install always goes per user; with no usable per-user root, nowhere.
        {"", false, true, &perUser, "C:\\Program Files", "C:\\Users\\kim\\AppData\\Local\\Programs"},
        {"", false, true, &unusable, "C:\\Program Files", ""},
        {"C:\\Program Files\\Corvalen\\Velmora2", true, false, &unusable, "C:\\Program Files", ""},
        {"C:\\Program Files\\Corvalen\\Velmora2", true, true, &unusable, "C:\\Program Files", "C:\\Program Files"},
    };
    for (const Row& row : rows) {
        std::string installed = install_root::InstalledRoot(row.installPath, legacy);
        CHECK_EQ(installed, std::string(row.installedRoot));
        CHECK_EQ(install_root::RootForRun(row.installed, installed, row.writable, *row.perUser),
                 std::string(row.runRoot));
    }
}

TEST_CASE(uninstall_entry, the_entry_says_what_apps_and_features_shows_and_runs) {
    uninstall_entry::Facts facts;
    facts.installRoot = "C:\\Users\\kim\\AppData\\Local\\Programs";
    facts.version = "2.02";
    facts.installedBytes = 5 * 1024 * 1024 + 1;
    facts.siteUrl = "http://www.corvalen.co.kr/";
    struct Expected {
        const char* name;
        const char* text;  // null: a number
        uint32_t number;
    } expected[] = {
        {"DisplayName", "Velmora 2.0 제거", 0},
        {"DisplayVersion", "2.02", 0},
        {"Publisher", "Corvalen", 0},
        {"DisplayIcon", "C:\\Users\\kim\\AppData\\Local\\Programs\\Corvalen\\VL2Del.exe", 0},
        {"InstallLocation", "C:\\Users\\kim\\AppData\\Local\\Programs\\Corvalen\\Velmora2", 0},
        // Quoted: the profile path may hold a blank.
        {"UninstallString", "\"C:\\Users\\kim\\AppData\\Local\\Programs\\Corvalen\\VL2Del.exe\"", 0},
        {"URLInfoAbout", "http://www.corvalen.co.kr/", 0},
        {"EstimatedSize", nullptr, 5 * 1024 + 1},
        {"NoModify", nullptr, 1},
        {"NoRepair", nullptr, 1},
    };
    std::vector<uninstall_entry::Value> values = uninstall_entry::Values(facts);
    CHECK_EQ(values.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < values.size() && i < sizeof(expected) / sizeof(expected[0]); ++i) {
        CHECK_EQ(values[i].name, std::string(expected[i].name));
        CHECK_EQ(values[i].isNumber, expected[i].text == nullptr);
        if (expected[i].text)
            CHECK_EQ(values[i].text, std::string(expected[i].text));
        else
            CHECK_EQ(values[i].number, expected[i].number);
    }
    // The size in KiB, rounded up, and never wrapped past what a DWORD holds.
    struct SizeRow {
        uint64_t bytes;
        uint32_t kib;
    } sizes[] = {{0, 0}, {1, 1}, {1024, 1}, {1025, 2}, {uint64_t(1) << 44, 0xFFFFFFFFu}};
    for (const SizeRow& row : sizes) {
        facts.installedBytes = row.bytes;
        for (const uninstall_entry::Value& value : uninstall_entry::Values(facts))
            if (value.name == "EstimatedSize") CHECK_EQ(value.number, row.kib);
    }
}
