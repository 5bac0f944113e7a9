#include "uninstaller/carry_out_removal.h"

#include <windows.h>

#include "framework/file_retry.h"
#include "framework/scoped.h"
#include "install/folder_removal.h"

using removal::Step;
using removal::StepKind;

namespace {

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

HKEY Root(removal::Hive hive) { return hive == removal::Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

bool KeyExists(HKEY root, const std::string& path) {
    ScopedRegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_FILE_NOT_FOUND;
}

// Deletes a key with all its subkeys: subkey 0 again and again until none is left.
void DeleteKeyTree(HKEY root, const std::string& path) {
    {
        ScopedRegKey key;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS) return;
        char name[260];
        for (;;) {
            DWORD length = sizeof(name);
            if (RegEnumKeyExA(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            std::string child = path + "\\" + name;
            DeleteKeyTree(root, child);
            // A subkey that cannot be deleted would be found again at index 0.
            if (KeyExists(root, child)) break;
        }
    }
    RegDeleteKeyA(root, path.c_str());
}

// A key the uninstaller may remove only when nothing of another product is in it.
bool DeleteKeyWhenEmpty(HKEY root, const std::string& path) {
    {
        ScopedRegKey key;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return true;
        DWORD subkeys = 0, values = 0;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        if (subkeys || values) return true;
    }
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS || !KeyExists(root, path);
}

bool DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    ScopedRegKey key;
    LONG opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS)
        return RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS &&
               RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
    LONG deleted = RegDeleteValueA(key.Get(), name.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

// Carries out one step; what stayed goes to `left`, and whether it may yet go.
void CarryOut(const Step& step, FolderLeftovers& left) {
    HKEY root = Root(step.hive);
    bool done = true;
    DWORD error = ERROR_SUCCESS;
    switch (step.kind) {
        case StepKind::FolderTree: {
            FolderLeftovers tree = RemoveFolderTreeSayingWhatStays(step.path);
            left.paths.insert(left.paths.end(), tree.paths.begin(), tree.paths.end());
            left.held = left.held || tree.held;
            return;
        }
        case StepKind::File:
            SetFileAttributesA(step.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            done = DeleteFileA(step.path.c_str()) || IsGone(error = GetLastError());
            break;
        case StepKind::FolderWhenEmpty:
            // Not empty is not a failure: what is in it is another product's, or was
            // named as left by the steps before.
            done = RemoveDirectoryA(step.path.c_str()) || IsGone(error = GetLastError()) ||
                   error == ERROR_DIR_NOT_EMPTY;
            break;
        case StepKind::RegistryTree:
            if (KeyExists(root, step.path)) DeleteKeyTree(root, step.path);
            done = !KeyExists(root, step.path);
            break;
        case StepKind::RegistryKeyWhenEmpty:
            done = DeleteKeyWhenEmpty(root, step.path);
            break;
        case StepKind::RegistryValue:
            done = DeleteValue(root, step.path, step.value);
            break;
    }
    if (done) return;
    left.paths.push_back(removal::Describe(step));
    if (step.kind == StepKind::File || step.kind == StepKind::FolderWhenEmpty)
        left.held = left.held || file_retry::IsHeld(error);
}

}  // namespace

std::vector<std::string> CarryOutRemoval(const std::vector<Step>& steps) {
    FolderLeftovers left;
    // Every pass runs the whole plan: a step that found nothing has nothing to do
    // again, and a folder that a held file kept full goes once that file has.
    file_retry::WhileHeld([&] {
        left = FolderLeftovers();
        for (const Step& step : steps) CarryOut(step, left);
        if (left.paths.empty()) return file_retry::Try::Done;
        return left.held ? file_retry::Try::Held : file_retry::Try::Failed;
    });
    return left.paths;
}
