#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "framework/scoped.h"

namespace install {

ShortcutResult CreateShortcut(const std::string& targetPath, const std::string& linkPath,
                              const std::string& description) {
    ShortcutResult outcome;
    ScopedCom com;
    ComPtr<IShellLinkA> link;
    if (FAILED(com::CreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.ReceiveVoid()))) {
        outcome.classNotRegistered = true;
        outcome.result = REGDB_E_CLASSNOTREG;
        return outcome;
    }
    ComPtr<IPersistFile> file;
    outcome.result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (FAILED(outcome.result)) return outcome;
    outcome.pathNotSet = FAILED(link->SetPath(targetPath.c_str()));
    outcome.descriptionNotSet = FAILED(link->SetDescription(description.c_str()));
    wchar_t widePath[MAX_PATH] = L"";
    // Too long for a shell path: the save fails and says so.
    if (!MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH)) widePath[0] = L'\0';
    outcome.result = widePath[0] ? file->Save(widePath, TRUE) : E_INVALIDARG;
    outcome.notSaved = FAILED(outcome.result);
    return outcome;
}

}  // namespace install
