// Test tool: prints the target and the description of a shortcut, tab-separated.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    int result = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char target[MAX_PATH] = "", description[1024] = "";
                link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
                link->GetDescription(description, sizeof(description));
                std::printf("%s\t%s\n", target, description);
                result = 0;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}
