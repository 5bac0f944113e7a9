#include "framework/com_library.h"

#include "framework/system_library.h"

namespace com {
namespace {

// Loaded once and kept: COM objects live on in it until the program ends.
FARPROC Entry(const char* name) {
    static HMODULE ole32 = LoadSystemLibrary("ole32.dll");
    return ole32 ? GetProcAddress(ole32, name) : nullptr;
}

template <typename Function>
Function Find(const char* name) {
    return reinterpret_cast<Function>(Entry(name));
}

}  // namespace

HRESULT Initialize() {
    auto initialize = Find<HRESULT(WINAPI*)(void*)>("CoInitialize");
    return initialize ? initialize(nullptr) : E_NOTIMPL;
}

void Uninitialize() {
    auto uninitialize = Find<void(WINAPI*)()>("CoUninitialize");
    if (uninitialize) uninitialize();
}

HRESULT CreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId, void** object) {
    auto create = Find<HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**)>("CoCreateInstance");
    if (!create) {
        *object = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    return create(classId, outer, context, interfaceId, object);
}

HRESULT CreateStreamOnGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
    auto create = Find<HRESULT(WINAPI*)(HGLOBAL, BOOL, IStream**)>("CreateStreamOnHGlobal");
    if (!create) {
        *stream = nullptr;
        return E_NOTIMPL;
    }
    return create(block, deleteOnRelease, stream);
}

}  // namespace com
