// Shell shortcuts through the shell-link COM object. Only the target and the
// description are set; everything else keeps the object's defaults.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "framework/scoped.h"
#include "setup_ui/setup_dialog.h"

HRESULT SetupDialog::CreateShortcut(const std::string& targetPath, const std::string& linkPath,
                                    const std::string& description) {
    CoInitialize(nullptr);
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.ReceiveVoid()))) {
        MessageBoxA(hwnd_,
                    "A specified class is not registered in the registration database. Also can indicate that the "
                    "type of server you requested in the CLSCTX enumeration is not registered or the values for the "
                    "server types in the registry are corrupt.",
                    "BRISKNET 바로가기", MB_ICONHAND);
        CoUninitialize();
        return REGDB_E_CLASSNOTREG;
    }
    HRESULT result;
    {
        ComPtr<IPersistFile> file;
        result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
        if (SUCCEEDED(result)) {
            if (FAILED(link->SetPath(targetPath.c_str())))
                MessageBoxA(hwnd_, "파일 경로 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
            if (FAILED(link->SetDescription(description.c_str())))
                MessageBoxA(hwnd_, "아이콘 상세 정보 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
            wchar_t widePath[MAX_PATH] = L"";
            if (!MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH)) {
                // Too long for a shell path: the save below fails and says so.
                widePath[0] = L'\0';
            }
            result = widePath[0] ? file->Save(widePath, TRUE) : E_INVALIDARG;
            if (FAILED(result)) MessageBoxA(hwnd_, "아이콘 저장 실패!", "아이콘 생성 에러", MB_ICONHAND);
        }
    }
    link.Reset();
    CoUninitialize();
    return result;
}
