// The few COM entry points the programs call, looked up in the system folder's
// ole32 on first use. Linking ole32 would load it, and the RPC and automation
// libraries it pulls in, at every start of the suite, where COM is never used.
#pragma once

#include <windows.h>
#include <objidl.h>

namespace com {

HRESULT Initialize();
void Uninitialize();
HRESULT CreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId, void** object);
HRESULT CreateStreamOnGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

}  // namespace com
