#include "app/system_probes.h"
#include "tests/check.h"
#include "tests/win32/test_support.h"

TEST_CASE(system_probes, an_nt_family_system_is_class_2) { CHECK_EQ(GetOsClass(), 2); }

TEST_CASE(system_probes, sockets_start_and_the_machine_counts_as_connected) {
    CHECK_EQ(InitSockets(), 1);
    CHECK_EQ(IsInternetConnected(), 1);
}

TEST_CASE(system_probes, local_ip_is_a_dotted_quad) {
    std::string ip = GetLocalIp();
    unsigned a, b, c, d;
    char tail;
    CHECK_EQ(sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail), 4);
    CHECK(a < 256 && b < 256 && c < 256 && d < 256);
}

TEST_CASE(system_probes, launching_a_missing_program_reports_0) {
    CHECK_EQ(LaunchProgram(CREATE_NEW_CONSOLE, "C:\\no such folder\\BIN\\Cubelet.exe kqvwtzrnbpxyjdgfh"), 0);
}

TEST_CASE(system_probes, the_suite_starts_unquoted_from_a_folder_with_a_blank_and_gets_its_token) {
    std::string folder = "C:\\Program Files\\Probe Test";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\BIN").c_str(), nullptr);
    std::string exe = folder + "\\BIN\\Cubelet.exe";
    CHECK(CopyFileA(test_support::BuildFile("Cubelet.exe").c_str(), exe.c_str(), FALSE));
    CHECK_EQ(LaunchProgram(CREATE_NEW_CONSOLE, exe + " kqvwtzrnbpxyjdgfh"), 1);
    std::string log = folder + "\\BIN\\Cubelet.log";
    CHECK(test_support::WaitForText(log, "kqvwtzrnbpxyjdgfh", 10000));
    CHECK(test_support::ReadFile(log).find("\t" + exe) != std::string::npos);
    HWND suite = nullptr;
    for (int i = 0; i < 50 && !suite; ++i, Sleep(100)) suite = FindWindowA("Cubelet", nullptr);
    if (suite) SendMessageA(suite, 10652, 0, 0);
}
