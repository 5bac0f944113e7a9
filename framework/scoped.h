// Scope-bound owners for the Win32 handles the programs use, so that every
// early return releases what was acquired.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "framework/com_library.h"
#include "framework/scoped_owner.h"
#include "framework/wininet_calls.h"

struct HandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

using ScopedHandle = Scoped<HANDLE, HandleTraits>;
using ScopedFileHandle = Scoped<HANDLE, FileHandleTraits>;
using ScopedFindHandle = Scoped<HANDLE, FindHandleTraits>;
using ScopedRegKey = Scoped<HKEY, RegKeyTraits>;
using ScopedInternetHandle = Scoped<HINTERNET, InternetHandleTraits>;
using ScopedModule = Scoped<HMODULE, ModuleTraits>;
using ScopedGdiObject = Scoped<HGDIOBJ, GdiObjectTraits>;
using ScopedMemoryDc = Scoped<HDC, MemoryDcTraits>;

// COM for this thread while in scope; a failed start is not undone.
class ScopedCom {
 public:
    ScopedCom() : result_(com::Initialize()) {}
    ~ScopedCom() {
        if (SUCCEEDED(result_)) com::Uninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

 private:
    HRESULT result_;
};

// A window's device context, released with the window it came from.
class ScopedWindowDc {
 public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC Get() const { return dc_; }

 private:
    HWND window_;
    HDC dc_;
};

// A COM interface pointer released on scope exit.
template <typename Interface>
class ComPtr {
 public:
    ComPtr() : p_(nullptr) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* Get() const { return p_; }
    Interface* operator->() const { return p_; }
    void** ReceiveVoid() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

 private:
    Interface* p_;
};
