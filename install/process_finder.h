// Lists the running processes by executable name. The process-status functions
// (NT 4 to Server 2003) and, everywhere else, the system's process query with the
// Tool Help functions behind it are looked up at run time, so a system that lacks
// them simply yields an empty list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/scoped.h"
#include "install/running_copy.h"

class ProcessEnumerator {
 public:
    ProcessEnumerator();
    virtual ~ProcessEnumerator() = default;
    ProcessEnumerator(const ProcessEnumerator&) = delete;
    ProcessEnumerator& operator=(const ProcessEnumerator&) = delete;

    // Called once per process found; false stops the enumeration.
    virtual bool OnProcess(const char* name, DWORD processId) { return true; }

 protected:
    void LoadLibraries();
    void Enumerate();
    // The two ways of listing on later systems, for a test to compare. The system
    // query returns false when it cannot list at all, so that Tool Help is asked.
    bool EnumerateWithSystemQuery();
    void EnumerateWithToolHelp();

    bool useProcessStatusApi;
    ScopedModule psapiModule;
    ScopedModule vdmdbgModule;

 private:
    void EnumerateWithProcessStatusApi();
};

// Where a process runs compared with this one, through ProcessIdToSessionId looked
// up at run time; an empty query where the system has no such function.
install::SessionQuery ThisSessionQuery();

class ProcessFinder : public ProcessEnumerator {
 public:
    // Takes the snapshot at once; there is no refresh.
    ProcessFinder();

    bool OnProcess(const char* name, DWORD processId) override;

    // `name` is a bare program name without extension ("InitVL2"). Returns the id of
    // the first listed process whose file name is that name plus ".EXE", or 0.
    DWORD FindProcessId(const std::string& name) const;
    // Every listed process of that name, in listing order.
    std::vector<unsigned long> FindProcessIds(const std::string& name) const;
    void Clear();

    std::vector<std::string> processNames;
    std::vector<DWORD> processIds;
};
