#include "app/install_paths.h"
#include "net/install_report.h"
#include "tests/check.h"

TEST_CASE(install_report, physical_addresses_are_upper_case_hex_joined_by_dashes) {
    const unsigned char six[] = {0x00, 0x0C, 0x29, 0x3A, 0x5B, 0x7C};
    CHECK_EQ(FormatPhysicalAddress(six, 6), std::string("00-0C-29-3A-5B-7C"));
    const unsigned char eight[] = {1, 2, 3, 4, 5, 6, 0xAB, 0xFF};
    CHECK_EQ(FormatPhysicalAddress(eight, 8).size(), size_t(23));
    CHECK_EQ(FormatPhysicalAddress(eight, 0), std::string(""));
}

TEST_CASE(install_report, fresh_and_update_reports_differ_only_in_the_marker) {
    std::string fresh = FormatInstallReport("r.example:81", "VL2B", "00-0C-29-3A-5B-7C", "10.0.0.5", "2.01", "CORVALEN");
    CHECK_EQ(fresh, std::string("http://r.example:81/installax.asp?ma=00-0C-29-3A-5B-7C&inip=10.0.0.5"
                                "&jaehuid=VL2B2.01CORVALEN"));
    std::string update = FormatInstallReport("r.example:81", "VL2U", "00-0C-29-3A-5B-7C", "10.0.0.5", "2.01", "CORVALEN");
    CHECK_EQ(update.size(), fresh.size());
    CHECK_EQ(update.find("jaehuid=VL2U2.01CORVALEN") != std::string::npos, true);
}

TEST_CASE(install_report, empty_identity_values_are_sent_empty) {
    CHECK_EQ(FormatInstallReport("h", "VL2B", "", "", "2.01", "CORVALEN"),
             std::string("http://h/installax.asp?ma=&inip=&jaehuid=VL2B2.01CORVALEN"));
    CHECK_EQ(FormatRemovalReport("h", "AA-BB", "1.2.3.4", ""),
             std::string("http://h/installax.asp?ma=AA-BB&inip=1.2.3.4&jaehuid=VL2BDEL"));
}

TEST_CASE(install_report, reports_go_to_the_report_server_in_its_scheme) {
    CHECK_EQ(FormatInstallReport("https://r.example", "VL2U", "AA-BB", "10.0.0.5", "2.02", "CORVALEN"),
             std::string("https://r.example/installax.asp?ma=AA-BB&inip=10.0.0.5&jaehuid=VL2U2.02CORVALEN"));
    CHECK_EQ(FormatRemovalReport("https://r.example:8443", "AA-BB", "10.0.0.5", "2.02"),
             std::string("https://r.example:8443/installax.asp?ma=AA-BB&inip=10.0.0.5&jaehuid=VL2BDEL2.02"));
}

TEST_CASE(install_paths, only_the_product_folder_form_counts_as_install_path) {
    CHECK(install_paths::IsProductFolder("C:\\Program Files\\Corvalen\\Velmora2"));
    CHECK(install_paths::IsProductFolder("D:\\PF\\CORVALEN\\velmora2\\"));
    CHECK(install_paths::IsProductFolder("\\\\server\\share\\Corvalen\\Velmora2"));
    CHECK(!install_paths::IsProductFolder("C:\\Users\\me\\Documents"));
    CHECK(!install_paths::IsProductFolder("C:\\Corvalen\\Velmora2\\2.01"));
    CHECK(!install_paths::IsProductFolder("C:\\MyCorvalen\\Velmora2x"));
    CHECK(!install_paths::IsProductFolder("Corvalen\\Velmora2"));
    CHECK(!install_paths::IsProductFolder("C:\\Velmora2"));
}
