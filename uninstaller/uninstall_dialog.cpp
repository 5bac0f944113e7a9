#include <winsock2.h>  // before windows.h

#include "uninstaller/uninstall_dialog.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "build_settings.h"
#include "framework/about_dialog.h"
#include "framework/common_controls.h"
#include "framework/scoped.h"
#include "framework/text.h"
#include "install/removal_plan.h"
#include "install/suite_quit.h"
#include "net/http_text_client.h"
#include "net/install_report.h"
#include "uninstaller/carry_out_removal.h"
#include "uninstaller/uninstaller_resources.h"

namespace {

const char* const kCaption = "Velmora2삭제";
const UINT_PTR kRemovalTimer = 1000;
// The removal starts this long after the confirmation, once the dialog is hidden.
const UINT kRemovalDelayMilliseconds = 10;

}  // namespace

UninstallDialog::UninstallDialog(const std::string& uninstallerPath)
    : Dialog(IDD_UNINSTALL, nullptr), uninstallerPath_(uninstallerPath) {}

BOOL UninstallDialog::OnInitDialog() {
    HMENU systemMenu = GetSystemMenu(hwnd_, FALSE);
    if (systemMenu) {
        char about[256] = "";
        LoadStringA(GetModuleHandleA(nullptr), IDS_UNINSTALL_ABOUT, about, sizeof(about));
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, kAboutCommand, about);
    }
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_UNINSTALL));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    if (ShowMessageBox(hwnd_, "컴퓨터에서 Velmora2를 제거하시겠습니까?", kCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    // A suite that neither answers nor ends within the bound is not removed under its feet.
    if (install::AskSuiteToQuit() == install::SuiteQuit::StillRuns) {
        ShowMessageBox(hwnd_, "Velmora2 프로그램을 종료 후 삭제하세요!", kCaption, MB_OK | MB_ICONINFORMATION);
        EndDialog(IDCANCEL);
        return TRUE;
    }
    FindInstallRecord();
    SetTimer(hwnd_, kRemovalTimer, kRemovalDelayMilliseconds, nullptr);
    ShowWindow(hwnd_, SW_HIDE);
    return TRUE;
}

void UninstallDialog::FindInstallRecord() {
    ScopedRegKey product;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, suite::kProductKey, 0, KEY_READ, product.Receive()) != ERROR_SUCCESS) return;
    std::vector<char> name(4096);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(product.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ScopedRegKey subkey;
        std::string path = text::Format("%s\\%s", suite::kProductKey, name.data());
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, subkey.Receive()) != ERROR_SUCCESS)
            continue;
        std::vector<char> folder(4096, '\0'), version(4096, '\0');
        DWORD folderSize = static_cast<DWORD>(folder.size() - 1), versionSize = static_cast<DWORD>(version.size() - 1);
        if (RegQueryValueExA(subkey.Get(), "INSTALLPATH", nullptr, nullptr, reinterpret_cast<BYTE*>(folder.data()),
                             &folderSize) != ERROR_SUCCESS)
            continue;
        RegQueryValueExA(subkey.Get(), "VERSION", nullptr, nullptr, reinterpret_cast<BYTE*>(version.data()),
                         &versionSize);
        installPath = folder.data();
        installedVersion = version.data();
        return;
    }
}

std::vector<std::string> UninstallDialog::RemoveEverything() {
    removal::Findings findings;
    findings.installPath = installPath;
    findings.uninstallerPath = uninstallerPath_;
    findings.startMenuPrograms = ShellFolder(CSIDL_PROGRAMS);
    findings.desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    findings.applicationData = ShellFolder(CSIDL_APPDATA);
    std::vector<std::string> left = CarryOutRemoval(removal::PlanRemoval(findings));

    HttpTextClient client;
    client.SetDefaultText("");
    text::Trim(client.Fetch(FormatRemovalReport(VL2_REPORT_SERVER, GetAdapterAddressText(), GetLocalIp(),
                                                installedVersion)));
    return left;
}

bool UninstallDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_TIMER && wParam == kRemovalTimer) {
        KillTimer(hwnd_, kRemovalTimer);
        std::vector<std::string> left = RemoveEverything();
        ShowWindow(hwnd_, SW_HIDE);
        ShowMessageBox(hwnd_, removal::LeftoverMessage(left).c_str(), "알림",
                    MB_OK | (left.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
        EndDialog(IDOK);
        result = 0;
        return true;
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == kAboutCommand) {
        AboutDialog about(IDD_UNINSTALL_ABOUT, hwnd_);
        about.DoModal();
        result = 0;
        return true;
    }
    return false;
}
