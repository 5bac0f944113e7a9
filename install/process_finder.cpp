#include "install/process_finder.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>

#include "framework/system_library.h"
#include "framework/text.h"

namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Fn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using QuerySystemInformationFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

const ULONG kProcessInformationClass = 5;  // SystemProcessInformation
const LONG kBufferTooSmall = static_cast<LONG>(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
const size_t kLargestProcessList = 16u << 20;

}  // namespace

ProcessEnumerator::ProcessEnumerator() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    useProcessStatusApi = info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion <= 5;
}

void ProcessEnumerator::LoadLibraries() {
    if (!useProcessStatusApi) return;
    psapiModule.Reset(LoadSystemLibrary("PSAPI.DLL"));
    vdmdbgModule.Reset(LoadSystemLibrary("VDMDBG.DLL"));
}

void ProcessEnumerator::Enumerate() {
    if (useProcessStatusApi)
        EnumerateWithProcessStatusApi();
    else if (!EnumerateWithSystemQuery())
        EnumerateWithToolHelp();
}

// The list Tool Help is built on, in one call: a Tool Help snapshot first copies it
// into a snapshot object and then hands it back one entry per call, which costs a
// few milliseconds on every start of the suite. Same processes, order and names
// (bare file names in the system code page, cut at MAX_PATH like Tool Help's).
bool ProcessEnumerator::EnumerateWithSystemQuery() {
    auto query = reinterpret_cast<QuerySystemInformationFn>(
        GetProcAddress(GetModuleHandleA("NTDLL.DLL"), "NtQuerySystemInformation"));
    if (!query) return false;
    std::vector<unsigned char> list(64u << 10);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(kProcessInformationClass, list.data(), static_cast<ULONG>(list.size()), &needed);
        if (status == 0) break;
        if (status != kBufferTooSmall || list.size() >= kLargestProcessList) return false;
        // The list may grow between two calls: ask for more than it needed.
        list.resize(std::min(kLargestProcessList, std::max<size_t>(list.size() * 2, needed + (16u << 10))));
    }
    const auto* begin = reinterpret_cast<const wchar_t*>(list.data());
    const auto* end = reinterpret_cast<const wchar_t*>(list.data() + list.size());
    for (size_t offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= list.size();) {
        SYSTEM_PROCESS_INFORMATION process;
        std::memcpy(&process, list.data() + offset, sizeof(process));
        char name[MAX_PATH] = "";
        const wchar_t* text = process.ImageName.Buffer;
        int length = process.ImageName.Length / sizeof(wchar_t);
        if (text && text >= begin && text + length <= end)
            WideCharToMultiByte(CP_ACP, 0, text, length, name, MAX_PATH - 1, nullptr, nullptr);
        if (!OnProcess(name, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(process.UniqueProcessId)))) break;
        if (process.NextEntryOffset == 0) break;
        offset += process.NextEntryOffset;
    }
    return true;
}

void ProcessEnumerator::EnumerateWithProcessStatusApi() {
    if (!psapiModule || !vdmdbgModule) return;
    // 16-bit tasks are not listed; the entry point only has to be there.
    if (!GetProcAddress(vdmdbgModule.Get(), "VDMEnumTaskWOWEx")) return;
    auto enumProcesses = reinterpret_cast<EnumProcessesFn>(GetProcAddress(psapiModule.Get(), "EnumProcesses"));
    auto moduleFileName = reinterpret_cast<GetModuleFileNameExFn>(GetProcAddress(psapiModule.Get(), "GetModuleFileNameExA"));
    auto moduleBaseName = GetProcAddress(psapiModule.Get(), "GetModuleBaseNameA");
    auto enumModules = reinterpret_cast<EnumProcessModulesFn>(GetProcAddress(psapiModule.Get(), "EnumProcessModules"));
    if (!enumProcesses || !moduleFileName || !moduleBaseName || !enumModules) return;

    DWORD ids[1024];
    DWORD bytes = 0;
    if (!enumProcesses(ids, sizeof(ids), &bytes)) return;
    DWORD count = bytes / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i) {
        ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
        if (!process) continue;
        HMODULE modules[1024];
        DWORD needed = 0;
        enumModules(process.Get(), modules, sizeof(modules), &needed);
        char path[MAX_PATH] = "";
        bool goOn = true;
        if (moduleFileName(process.Get(), modules[0], path, MAX_PATH) != 0) goOn = OnProcess(path, ids[i]);
        if (!goOn) break;
    }
}

void ProcessEnumerator::EnumerateWithToolHelp() {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    auto createSnapshot = reinterpret_cast<CreateSnapshotFn>(GetProcAddress(kernel, "CreateToolhelp32Snapshot"));
    auto first = reinterpret_cast<Process32Fn>(GetProcAddress(kernel, "Process32First"));
    auto next = reinterpret_cast<Process32Fn>(GetProcAddress(kernel, "Process32Next"));
    if (!createSnapshot || !first || !next) return;
    ScopedFileHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);  // 296 bytes in this 32-bit build
    if (first(snapshot.Get(), &entry)) {
        while (OnProcess(entry.szExeFile, entry.th32ProcessID) && next(snapshot.Get(), &entry)) {
        }
    }
}

ProcessFinder::ProcessFinder() {
    LoadLibraries();
    Enumerate();
}

bool ProcessFinder::OnProcess(const char* name, DWORD processId) {
    processNames.push_back(name);
    processIds.push_back(processId);
    return true;
}

DWORD ProcessFinder::FindProcessId(const std::string& name) const {
    std::vector<unsigned long> ids = FindProcessIds(name);
    return ids.empty() ? 0 : ids.front();
}

std::vector<unsigned long> ProcessFinder::FindProcessIds(const std::string& name) const {
    std::vector<unsigned long> ids;
    std::string target = text::MbsUpper(name) + ".EXE";
    for (size_t i = 0; i < processNames.size(); ++i) {
        const std::string& full = processNames[i];
        size_t slash = full.rfind('\\');
        std::string fileName = slash == std::string::npos ? full : full.substr(slash + 1);
        if (text::MbsCompare(text::MbsUpper(fileName), target) == 0) ids.push_back(processIds[i]);
    }
    return ids;
}

install::SessionQuery ThisSessionQuery() {
    using SessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);
    auto sessionId = reinterpret_cast<SessionIdFn>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "ProcessIdToSessionId"));
    DWORD mine = 0;
    if (!sessionId || !sessionId(GetCurrentProcessId(), &mine)) return nullptr;
    return [sessionId, mine](unsigned long processId) {
        DWORD theirs = 0;
        if (!sessionId(processId, &theirs)) return install::SessionAnswer::Unknown;
        return theirs == mine ? install::SessionAnswer::ThisSession : install::SessionAnswer::OtherSession;
    };
}

void ProcessFinder::Clear() {
    std::vector<std::string>().swap(processNames);
    std::vector<DWORD>().swap(processIds);
}
